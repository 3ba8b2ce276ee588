#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace selvik {

// Takes an encoded hand-off record from the window and sees it delivered.
class LinkSender {
public:
    virtual ~LinkSender() = default;
    virtual void Send(std::string encodedRecord) = 0;
};

// Delivers records one after the other on a thread of its own, so the window stays responsive while
// tarvane starts or asks the parse service. One at a time, so two quick presses start tarvane once.
// The end of the object waits for the records already taken.
class BackgroundLinkSender : public LinkSender {
public:
    explicit BackgroundLinkSender(std::function<void(const std::string&)> deliver);
    ~BackgroundLinkSender() override;
    BackgroundLinkSender(const BackgroundLinkSender&) = delete;
    BackgroundLinkSender& operator=(const BackgroundLinkSender&) = delete;

    void Send(std::string encodedRecord) override;

private:
    void Run();

    std::function<void(const std::string&)> deliver_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::string> pending_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace selvik
