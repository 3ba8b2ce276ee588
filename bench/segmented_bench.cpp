// One large file over several connections, against aria2c and curl from one local nginx in the same
// run: (a) with nginx's limit_rate per connection, as CDNs and mirrors do; (b) without a limit; (c) the
// speed of the last 5 % against the average.
//   segmented_bench [MiB] [limit per connection, nginx syntax]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>

#include <curl/curl.h>

#include "bench/bench_engine.h"
#include "bench/local_nginx.h"
#include "bench/quiet_process.h"
#include "bench/random_file.h"
#include "bench/speed.h"

namespace fs = std::filesystem;
using bench::MiBps;

namespace {

std::string Connections(int connections) {
    return "maxConnections=" + std::to_string(connections) + "\n";
}

int Compare(const fs::path& root, uint64_t mib, const std::string& limit) {
    uint64_t size = mib << 20;
    fs::create_directories(root / "www");
    std::cerr << "making the file...\n";
    bench::MakeFile(root / "www" / "game.bin", size);

    // One nginx: the first port limits every connection, the second does not.
    int port = 20000 + getpid() % 20000;
    bench::LocalNginx nginx(root, bench::NginxServer(port, root / "www", "limit_rate " + limit + ";") +
                                      bench::NginxServer(port + 1, root / "www"));
    if (!nginx.Started()) {
        std::cerr << "nginx is not installed\n";
        return 1;
    }
    std::string limited = "http://127.0.0.1:" + std::to_string(port) + "/game.bin";
    std::string open = "http://127.0.0.1:" + std::to_string(port + 1) + "/game.bin";
    fs::path out = root / "out";
    auto aria = [&](const std::string& link, std::vector<std::string> options, double seconds = 0) {
        fs::remove_all(out);
        fs::create_directories(out);
        std::vector<std::string> args{"aria2c", "-q", "--allow-overwrite=true", "-d", out.string(), "-o", "a.bin"};
        args.insert(args.end(), options.begin(), options.end());
        args.push_back(link);
        return bench::RunPeer(args, seconds);
    };
    auto tenSeconds = [&](std::function<void()> run) {
        nginx.EmptyLog();
        run();
        return MiBps(nginx.SentBytes(), 10);
    };

    std::printf("(a) %llu MiB, nginx limit_rate %s per connection (MiB/s)\n", static_cast<unsigned long long>(mib),
                limit.c_str());
    for (int connections : {8, 16}) {
        bench::DownloadTimes engine = bench::EngineDownload(root, limited, Connections(connections), size);
        std::string x = "-x" + std::to_string(connections), s = "-s" + std::to_string(connections);
        double peer = aria(limited, {x, s});
        std::printf("  tarvane at %2d %7.1f   aria2c %s %s %7.1f   ratio %.2f (goal >= 0.95)   last 5 %%: %.2f\n",
                    connections, MiBps(size, engine.seconds), x.c_str(), s.c_str(), MiBps(size, peer),
                    peer / engine.seconds, engine.lastShare);
    }
    double ariaDefault = tenSeconds([&] { aria(limited, {}, 10); });
    double curlLimited = tenSeconds([&] {
        fs::remove_all(out);
        fs::create_directories(out);
        bench::RunPeer({"curl", "-s", "-o", (out / "c.bin").string(), limited}, 10);
    });
    std::printf("  for 10 s: aria2c (its defaults) %7.1f   curl %7.1f\n", ariaDefault, curlLimited);

    std::printf("(b) the same file without a limit, best of 3 (MiB/s)\n");
    double segmented = 1e300, single = 1e300, curl = 1e300, lastShare = 0;
    for (int i = 0; i < 3; ++i) {
        bench::DownloadTimes many = bench::EngineDownload(root, open, Connections(8), size);
        if (many.seconds < segmented) {
            segmented = many.seconds;
            lastShare = many.lastShare;
        }
        single = std::min(single, bench::EngineDownload(root, open, Connections(1), size).seconds);
        fs::remove_all(out);
        fs::create_directories(out);
        curl = std::min(curl, bench::RunPeer({"curl", "-s", "-o", (out / "c.bin").string(), open}));
    }
    std::printf(
        "  tarvane (8) %7.1f   tarvane (1) %7.1f   curl %7.1f   segmented/one %.2f (goal >= 1.00)   "
        "last 5 %%: %.2f\n",
        MiBps(size, segmented), MiBps(size, single), MiBps(size, curl), single / segmented, lastShare);
    std::printf("(c) last 5 %% over the average: goal >= 0.80 (the figures above)\n");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t mib = argc > 1 ? std::stoull(argv[1]) : 1024;
    std::string limit = argc > 2 ? argv[2] : "8m";
    curl_global_init(CURL_GLOBAL_ALL);
    char pattern[] = "/tmp/tarvane-segments-XXXXXX";
    fs::path root = mkdtemp(pattern);
    int status = Compare(root, mib, limit);
    fs::remove_all(root);
    curl_global_cleanup();
    return status;
}
