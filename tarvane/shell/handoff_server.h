#pragma once

#include <QLocalServer>
#include <QObject>
#include <cstdint>
#include <functional>
#include <string>

#include "platform/link_handoff.h"

class QLocalSocket;

namespace tarvane {

// The receiving end of the hand-off socket. Each connection carries one framed message; its handler
// runs on this thread, and only when it has returned is the sender told, so the sender waits as
// long as the handler runs. Malformed or oversized messages close the connection unanswered;
// records that do not decode are answered but not handed on.
class HandoffServer : public QObject {
    Q_OBJECT

public:
    struct Handlers {
        std::function<void(std::uint64_t dwData, const platform::LinkHandoffRecord& record)> copyData;
        std::function<void()> bringForward;
    };

    explicit HandoffServer(Handlers handlers, QObject* parent = nullptr);
    ~HandoffServer() override;

    // Listens on `socketPath`, replacing a socket file left by an instance that is gone (the caller
    // holds the single-instance lock).
    bool Listen(const std::string& socketPath);
    void Close();

private:
    void OnConnection();
    void OnReadable(QLocalSocket* socket);

    Handlers handlers_;
    QLocalServer server_;
    std::string path_;
};

}  // namespace tarvane
