#pragma once

#include <atomic>
#include <cstdint>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "tools/demo-site/catalogue.h"
#include "tools/demo-site/html.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

namespace tarvane::demo {

struct DemoSiteOptions {
    // Host names of the sites; a ":port" on them is ignored, the site's own port is used in links.
    std::string officialHost = "www.quellora.localhost";
    std::string portalHost = "game.quellora.localhost";
    std::string minigameHost = "mini.quellora.localhost";
    // The version the official site publishes; 1 matches a fresh install, so no update is offered.
    std::uint32_t publishedVersion = 1;
    // Game files are served at this many KB/s (1024 bytes) per transfer, as a real file server would,
    // so a download can be watched; 0 serves them as fast as the connection takes them.
    std::uint32_t rateKBps = 0;
};

// Every site of the system in one server on 127.0.0.1, told apart by the Host header: the official
// site with the parse service and the version file, the game portal with the game files, and the
// small-games site with the search.
class DemoSite {
public:
    explicit DemoSite(DemoSiteOptions options);
    ~DemoSite();
    DemoSite(const DemoSite&) = delete;
    DemoSite& operator=(const DemoSite&) = delete;

    // Binds 127.0.0.1:port (0: any free port). The port bound, or -1.
    int Bind(int port);
    // Serves until Stop; false when it could not serve.
    bool Serve();
    // Serves on a thread of its own until Stop or the end of the object.
    void Start();
    void Stop();

    int port() const { return port_; }
    const SiteLinks& links() const { return links_; }

    // Lower-case hex SHA-256 of a game's file, worked out once per game.
    std::string FileSha256(const Game& game);
    // The Repr-Digest header value that the game's file is sent with: "sha-256=:BASE64:".
    std::string FileDigest(const Game& game);
    // Works out every game's hash on a thread of its own from the start, so downloads seldom wait for it.
    void HashGameFiles();

private:
    void Handle(const httplib::Request& request, httplib::Response& response);
    bool HandleOfficial(const httplib::Request& request, httplib::Response& response);
    bool HandlePortal(const httplib::Request& request, httplib::Response& response);
    bool HandleMinigame(const httplib::Request& request, httplib::Response& response);

    DemoSiteOptions options_;
    std::unique_ptr<httplib::Server> server_;
    std::thread thread_;
    int port_ = -1;
    SiteLinks links_;
    std::mutex hashMutex_;
    std::map<int, std::shared_future<std::string>> hashes_;
    std::thread hasher_;
    std::atomic<bool> stopping_ = false;
};

// The host name of "NAME[:PORT]", lower-cased.
std::string HostName(std::string_view hostWithPort);

// The game whose file lies at `path` ("/files/ID/SLUG.zip", or a whole address ending in it).
const Game* GameOfFilePath(std::string_view path);

}  // namespace tarvane::demo
