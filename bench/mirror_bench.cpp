// tarvane against aria2c on local mirrors, in one run: (a) one large file from a mirror whose
// connections get unequal rates, (b) the same from one that gives every connection 8 MiB/s, both at 8
// and at 16 connections; (c) the speed of the last 5 % over the average at 16; (d) twenty files from
// one host at once: the most connections the host saw and the total speed.
//   mirror_bench [MiB of the large file] [MiB of each of the twenty]
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include <curl/curl.h>

#include "bench/bench_engine.h"
#include "bench/local_nginx.h"
#include "bench/quiet_process.h"
#include "bench/random_file.h"
#include "bench/speed.h"
#include "bench/tail_watch.h"
#include "tests/support/connection_peak.h"

namespace fs = std::filesystem;
using bench::DownloadTimes;
using bench::MiBps;

namespace {

constexpr int kFiles = 20;
// The connections one host may get from all tasks together, as the bench's config.ini sets it.
constexpr int kHostBudget = 16;

// nginx numbers the connections it accepts: those ending in 0-2 get 1 MiB/s, 3-5 get 4 and the rest 8,
// as from a busy mirror or from CDN edges behind one name. A client that opens a new connection draws
// again.
const char* kUnequalRates = "  map $connection $rate { ~[0-2]$ 1m; ~[3-5]$ 4m; default 8m; }\n";

struct Mirrors {
    std::string unequal;  // "http://127.0.0.1:port/", connections at unequal rates
    std::string uniform;  // every connection at 8 MiB/s
    int unequalPort = 0;
};

std::string Link(int port) {
    return "http://127.0.0.1:" + std::to_string(port) + "/";
}

std::string Numbered(const std::string& stem, int i) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%02d", stem.c_str(), i);
    return name;
}

// The large file and one file under twenty names, all linked to the same bytes.
void MakeFiles(const fs::path& www, uint64_t large, uint64_t each) {
    fs::create_directories(www);
    std::cerr << "making the files...\n";
    bench::MakeFile(www / "game.bin", large);
    bench::MakeFile(www / "part.bin", each);
    for (int i = 1; i <= kFiles; ++i) {
        fs::create_symlink(www / "part.bin", www / (Numbered("part", i) + ".bin"));
    }
}

// The bench's config.ini; `connections` 0 leaves the count per task at the program's default.
std::string EngineOptions(int connections) {
    std::string options =
        "maxConnectionsPerHost=" + std::to_string(kHostBudget) + "\nmaxTaskNum=" + std::to_string(kFiles) + "\n";
    return connections > 0 ? options + "maxConnections=" + std::to_string(connections) + "\n" : options;
}

fs::path FreshOut(const fs::path& root) {
    fs::remove_all(root / "out");
    fs::create_directories(root / "out");
    return root / "out";
}

void CheckBytes(const char* who, const fs::path& out, uint64_t expected) {
    if (bench::FolderBytes(out) != expected) {
        std::fprintf(stderr, "%s: %llu bytes on disk, %llu expected\n", who,
                     static_cast<unsigned long long>(bench::FolderBytes(out)),
                     static_cast<unsigned long long>(expected));
    }
}

// A figure of tarvane beside the peer's and their ratio.
void Row(const std::string& label, double ours, double peer, const std::string& goal) {
    std::printf("  %-40s %8.2f %8.2f %7.2f   %s\n", label.c_str(), ours, peer, ours / peer, goal.c_str());
}

void Heading(const std::string& title) {
    std::printf("%s\n  %-40s %8s %8s %7s\n", title.c_str(), "", "tarvane", "aria2c", "ratio");
}

struct Pair {
    DownloadTimes ours;
    DownloadTimes peer;
};

// The large file by tarvane and by aria2c at the same number of connections; aria2c writes what it
// receives at once, so that its last 5 % can be timed.
Pair AtSameCount(const fs::path& root, const std::string& link, int connections, uint64_t size) {
    Pair pair;
    pair.ours = bench::EngineDownload(root, link, EngineOptions(connections), size);
    std::string count = std::to_string(connections);
    pair.peer = bench::PeerDownload({"aria2c", "-q", "-d", FreshOut(root).string(), "-o", "a.bin", "--disk-cache=0",
                                     "-x" + count, "-s" + count, link},
                                    size);
    CheckBytes("aria2c", root / "out", size);
    return pair;
}

// Speeds at 8 and at 16 connections; answers the pair at 16.
Pair CompareLargeFile(const std::string& title, const fs::path& root, const std::string& link, uint64_t size,
                      const std::string& goal) {
    Heading(title);
    Pair at16;
    for (int connections : {8, 16}) {
        Pair pair = AtSameCount(root, link, connections, size);
        std::string count = std::to_string(connections);
        Row("at " + count + " (aria2c -x" + count + " -s" + count + "), MiB/s", MiBps(size, pair.ours.seconds),
            MiBps(size, pair.peer.seconds), goal);
        at16 = pair;
    }
    return at16;
}

struct ManyFiles {
    double seconds = 0;
    int peakConnections = 0;
    double longestWait = -1;  // the longest a file waited for its first byte; -1: not measured
};

// Twenty files at once by the engine, each task watched for its first byte.
ManyFiles EngineManyFiles(const fs::path& root, const Mirrors& mirrors, uint64_t each) {
    fs::path out = FreshOut(root);
    bench::BenchEngine engine(root, EngineOptions(0));
    ManyFiles result;
    tarvane::test::ConnectionPeak peak(mirrors.unequalPort);
    auto start = bench::SteadyClock::now();
    for (int i = 1; i <= kFiles; ++i) {
        engine.Add(Numbered("page", i), mirrors.unequal + Numbered("part", i) + ".bin", Numbered("t", i), out.string());
    }
    std::vector<double> firstByte(kFiles, -1);
    while (engine.Running()) {
        for (int i = 0; i < kFiles; ++i) {
            if (firstByte[i] < 0 && engine.Done(engine.Ids()[i], each) > 0) {
                firstByte[i] = bench::Since(start);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    result.seconds = bench::Since(start);
    result.peakConnections = peak.Stop();
    result.longestWait = *std::max_element(firstByte.begin(), firstByte.end());
    CheckBytes("tarvane", out, each * kFiles);
    return result;
}

// Twenty files at once by aria2c -j20, otherwise as it comes.
ManyFiles AriaManyFiles(const fs::path& root, const Mirrors& mirrors, uint64_t each) {
    fs::path out = FreshOut(root);
    fs::path list = root / "links.txt";
    std::ofstream links(list);
    for (int i = 1; i <= kFiles; ++i) {
        links << mirrors.unequal << Numbered("part", i) << ".bin\n  out=" << Numbered("a", i) << ".bin\n";
    }
    links.close();
    ManyFiles result;
    tarvane::test::ConnectionPeak peak(mirrors.unequalPort);
    result.seconds =
        bench::RunPeer({"aria2c", "-q", "-j" + std::to_string(kFiles), "-d", out.string(), "-i", list.string()});
    result.peakConnections = peak.Stop();
    CheckBytes("aria2c", out, each * kFiles);
    return result;
}

void CompareManyFiles(const fs::path& root, const Mirrors& mirrors, uint64_t each) {
    Heading("(d) " + std::to_string(kFiles) + " files of " + std::to_string(each >> 20) +
            " MiB at once from the mirror of (a), tarvane with maxTaskNum=" + std::to_string(kFiles) +
            " against aria2c -j" + std::to_string(kFiles));
    ManyFiles ours = EngineManyFiles(root, mirrors, each);
    ManyFiles peer = AriaManyFiles(root, mirrors, each);
    uint64_t total = each * kFiles;
    Row("most connections the host saw", ours.peakConnections, peer.peakConnections,
        "goal: tarvane <= " + std::to_string(kHostBudget) + " (maxConnectionsPerHost)");
    Row("total speed, MiB/s", MiBps(total, ours.seconds), MiBps(total, peer.seconds), "goal >= 1.00");
    std::printf("  %-40s %8.1f %8s\n", "longest wait for a file's first byte, s", ours.longestWait, "-");
}

int Compare(const fs::path& root, uint64_t large, uint64_t each) {
    MakeFiles(root / "www", large, each);
    int port = 20000 + getpid() % 20000;
    bench::LocalNginx nginx(root, kUnequalRates + bench::NginxServer(port, root / "www", "limit_rate $rate;") +
                                      bench::NginxServer(port + 1, root / "www", "limit_rate 8m;"));
    if (!nginx.Started()) {
        std::cerr << "nginx did not start (is it installed?)\n";
        return 1;
    }
    Mirrors mirrors{Link(port), Link(port + 1), port};
    std::string mib = std::to_string(large >> 20) + " MiB";
    Pair unequal = CompareLargeFile("(a) " + mib + ", connections at 1, 4 or 8 MiB/s", root,
                                    mirrors.unequal + "game.bin", large, "goal >= 1.10");
    Pair uniform = CompareLargeFile("(b) " + mib + ", every connection at 8 MiB/s", root, mirrors.uniform + "game.bin",
                                    large, "goal >= 0.97");
    Heading("(c) speed of the last 5 % over the average, at 16 connections");
    Row("connections at unequal rates (a)", unequal.ours.lastShare, unequal.peer.lastShare, "goal: tarvane >= 0.90");
    Row("every connection at 8 MiB/s (b)", uniform.ours.lastShare, uniform.peer.lastShare, "goal: tarvane >= 0.90");
    CompareManyFiles(root, mirrors, each);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t large = (argc > 1 ? std::stoull(argv[1]) : 1024) << 20;
    uint64_t each = (argc > 2 ? std::stoull(argv[2]) : 100) << 20;
    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // a full run takes long: each figure as it comes
    curl_global_init(CURL_GLOBAL_ALL);
    char pattern[] = "/tmp/tarvane-mirrors-XXXXXX";
    fs::path root = mkdtemp(pattern);
    int status = Compare(root, large, each);
    fs::remove_all(root);
    curl_global_cleanup();
    return status;
}
