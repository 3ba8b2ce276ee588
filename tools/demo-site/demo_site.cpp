#include "tools/demo-site/demo_site.h"

#include <httplib.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <chrono>
#include <future>
#include <thread>

#include "tarvane/engine/base64.h"
#include "tools/demo-site/game_content.h"
#include "tools/demo-site/pages.h"
#include "tools/demo-site/parse_service.h"
#include "tools/demo-site/query_text.h"

namespace tarvane::demo {

namespace {

constexpr const char* kHtml = "text/html; charset=utf-8";
constexpr const char* kText = "text/plain; charset=utf-8";
constexpr std::string_view kNavPath = "/profit/tarvane/mainDlg_left_202_437_nav.htm";
constexpr std::string_view kHelpPath = "/soft/help/downloader_help.htm";
constexpr std::string_view kParsePath = "/softAssist/parse/parse_fileInfo.php";
constexpr std::string_view kVersionPath = "/softUpdate/tarvane/newVerInfo.txt";
constexpr std::string_view kInstallerPath = "/softUpdate/tarvane/updateZip";
constexpr std::string_view kSearchPath = "/search_fromSoft/";
// Several downloads at once each hold a worker for as long as they run.
constexpr std::size_t kWorkers = 32;

// What the version file names: a harmless stand-in that only says what it is.
constexpr std::string_view kInstallerScript =
    "#!/bin/sh\n"
    "# Stand-in installer of the tarvane demo site: it installs nothing.\n"
    "echo 'tarvane demo installer: nothing to install.'\n";

// The number NN of "/dispenseUrl/NN.htm" when it names a category, else 0.
int CategoryOfPath(std::string_view path) {
    constexpr std::string_view kPrefix = "/dispenseUrl/";
    if (path.size() != kPrefix.size() + 6 || !path.starts_with(kPrefix) || !path.ends_with(".htm")) {
        return 0;
    }
    int number = 0;
    const char* digits = path.data() + kPrefix.size();
    auto [end, error] = std::from_chars(digits, digits + 2, number);
    return (error == std::errc() && end == digits + 2 && FindCategory(number) != nullptr) ? number : 0;
}

const Game* GameOfPagePath(std::string_view path) {
    constexpr std::string_view kPrefix = "/game/";
    if (!path.starts_with(kPrefix) || !path.ends_with(".htm")) {
        return nullptr;
    }
    std::string_view digits = path.substr(kPrefix.size(), path.size() - kPrefix.size() - 4);
    int id = 0;
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), id);
    return (error == std::errc() && end == digits.data() + digits.size()) ? FindGame(id) : nullptr;
}

}  // namespace

std::string HostName(std::string_view hostWithPort) {
    std::string name(hostWithPort.substr(0, hostWithPort.find(':')));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

const Game* GameOfFilePath(std::string_view path) {
    std::size_t at = path.find("/files/");
    if (at == std::string_view::npos) {
        return nullptr;
    }
    path = path.substr(at + 7);
    int id = 0;
    auto [end, error] = std::from_chars(path.data(), path.data() + path.size(), id);
    const Game* game = error == std::errc() ? FindGame(id) : nullptr;
    if (game == nullptr ||
        std::string_view(end, path.data() + path.size() - end) != "/" + std::string(game->slug) + ".zip") {
        return nullptr;
    }
    return game;
}

DemoSite::DemoSite(DemoSiteOptions options)
    : options_(std::move(options)), server_(std::make_unique<httplib::Server>()) {
    options_.officialHost = HostName(options_.officialHost);
    options_.portalHost = HostName(options_.portalHost);
    options_.minigameHost = HostName(options_.minigameHost);
    server_->new_task_queue = [] { return new httplib::ThreadPool(kWorkers); };
    server_->Get(".*",
                 [this](const httplib::Request& request, httplib::Response& response) { Handle(request, response); });
}

DemoSite::~DemoSite() {
    Stop();
}

int DemoSite::Bind(int port) {
    if (port == 0) {
        port_ = server_->bind_to_any_port("127.0.0.1");
    } else {
        port_ = server_->bind_to_port("127.0.0.1", port) ? port : -1;
    }
    if (port_ <= 0) {
        port_ = -1;
        return -1;
    }
    std::string suffix = ":" + std::to_string(port_);
    links_ = {"http://" + options_.officialHost + suffix, "http://" + options_.portalHost + suffix,
              "http://" + options_.minigameHost + suffix};
    return port_;
}

bool DemoSite::Serve() {
    return port_ > 0 && server_->listen_after_bind();
}

void DemoSite::Start() {
    thread_ = std::thread([this] { Serve(); });
    // Bounded: a bound socket starts listening at once.
    for (int i = 0; i < 1000 && !server_->is_running(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void DemoSite::Stop() {
    stopping_ = true;
    server_->stop();
    if (thread_.joinable()) {
        thread_.join();
    }
    if (hasher_.joinable()) {
        hasher_.join();
    }
}

std::string DemoSite::FileSha256(const Game& game) {
    // The first to ask works it out; whoever asks meanwhile waits for that one.
    std::promise<std::string> promise;
    std::shared_future<std::string> hash;
    bool first = false;
    {
        std::lock_guard lock(hashMutex_);
        auto [found, added] = hashes_.try_emplace(game.id);
        if (added) {
            found->second = promise.get_future().share();
        }
        first = added;
        hash = found->second;
    }
    if (first) {
        promise.set_value(GameFileSha256(game));
    }
    return hash.get();
}

std::string DemoSite::FileDigest(const Game& game) {
    std::string hex = FileSha256(game), bytes;
    for (std::size_t at = 0; at + 1 < hex.size(); at += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(at, 2), nullptr, 16)));
    }
    return "sha-256=:" + Base64Encode(bytes) + ":";
}

void DemoSite::HashGameFiles() {
    hasher_ = std::thread([this] {
        for (const Game& game : Games()) {
            if (stopping_) {
                return;
            }
            FileSha256(game);
        }
    });
}

void DemoSite::Handle(const httplib::Request& request, httplib::Response& response) {
    std::string host = HostName(request.get_header_value("Host"));
    bool handled = (host == options_.officialHost && HandleOfficial(request, response)) ||
                   (host == options_.portalHost && HandlePortal(request, response)) ||
                   (host == options_.minigameHost && HandleMinigame(request, response));
    if (!handled) {
        response.status = 404;
        response.set_content(NotFoundPage(links_, request.path), kHtml);
    }
}

bool DemoSite::HandleOfficial(const httplib::Request& request, httplib::Response& response) {
    const std::string& path = request.path;
    if (path == "/" || path == "/index.htm") {
        response.set_content(OfficialHomePage(links_), kHtml);
    } else if (path == kNavPath) {
        response.set_content(MainWindowNavPage(links_), kHtml);
    } else if (path == kHelpPath) {
        response.set_content(HelpPage(links_), kHtml);
    } else if (path == kParsePath) {
        // The value travels unescaped ('+' is Base64, not a blank): read it from the raw target.
        response.set_content(ParseServiceReply(links_, RawQueryValue(request.target, "link")), kText);
    } else if (path == kVersionPath) {
        response.set_content(
            std::to_string(options_.publishedVersion) + "|||" + links_.official + std::string(kInstallerPath), kText);
    } else if (path == kInstallerPath) {
        response.set_content(std::string(kInstallerScript), "application/octet-stream");
    } else {
        return false;
    }
    return true;
}

bool DemoSite::HandlePortal(const httplib::Request& request, httplib::Response& response) {
    const std::string& path = request.path;
    if (path == "/" || path == "/index.htm") {
        response.set_content(PortalHomePage(links_), kHtml);
    } else if (int category = CategoryOfPath(path); category != 0) {
        response.set_content(CategoryPage(links_, *FindCategory(category)), kHtml);
    } else if (const Game* game = GameOfPagePath(path); game != nullptr) {
        response.set_content(GamePage(links_, *game), kHtml);
    } else if (const Game* file = GameOfFilePath(path); file != nullptr) {
        const Game& served = *file;
        response.set_header("Accept-Ranges", "bytes");
        // Of the whole file, also with a range: a download can be checked once it is whole.
        response.set_header("Repr-Digest", FileDigest(served));
        for (const auto& [first, last] : request.ranges) {
            // A range that starts past the end cannot be satisfied; say so rather than send nothing.
            if (first >= 0 && static_cast<std::uint64_t>(first) >= served.size) {
                response.status = 416;
                response.set_header("Content-Range", "bytes */" + std::to_string(served.size));
                return true;
            }
        }
        const std::uint64_t bytesPerSecond = std::uint64_t{options_.rateKBps} * 1024;
        response.set_content_provider(
            static_cast<std::size_t>(served.size), "application/zip",
            [&served, bytesPerSecond, start = std::chrono::steady_clock::now(), sent = std::uint64_t{0}](
                std::size_t offset, std::size_t length, httplib::DataSink& sink) mutable {
                char block[65536];
                std::size_t count = std::min(length, sizeof block);
                if (bytesPerSecond != 0) {
                    // Small blocks, each sent no earlier than the rate allows, so the speed is even.
                    count = std::min<std::size_t>(count, std::max<std::uint64_t>(bytesPerSecond / 10, 1));
                    sent += count;
                    std::this_thread::sleep_until(start + std::chrono::microseconds(sent * 1'000'000 / bytesPerSecond));
                }
                FillGameBytes(served, offset, block, count);
                return sink.write(block, count);
            });
    } else if (path.ends_with(".sha256") && GameOfFilePath(path.substr(0, path.size() - 7)) != nullptr) {
        const Game& hashed = *GameOfFilePath(path.substr(0, path.size() - 7));
        response.set_content(FileSha256(hashed) + "  " + std::string(hashed.slug) + ".zip\n", kText);
    } else {
        return false;
    }
    return true;
}

bool DemoSite::HandleMinigame(const httplib::Request& request, httplib::Response& response) {
    const std::string& path = request.path;
    if (path == "/" || path == "/index.htm") {
        response.set_content(MinigameHomePage(links_), kHtml);
    } else if (path == kSearchPath || path == kSearchPath.substr(0, kSearchPath.size() - 1)) {
        // Programs send the text as typed, unescaped: read it from the raw target.
        response.set_content(SearchPage(links_, SearchText(RawQueryValue(request.target, "keywords"))), kHtml);
    } else {
        return false;
    }
    return true;
}

}  // namespace tarvane::demo
