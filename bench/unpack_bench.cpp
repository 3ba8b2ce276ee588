// Unpacking a large zip of game-like content (many small files, a few large ones; packed data
// stored, the rest deflated) against `bsdtar -xf` and `unzip -q`, each from the page cache into a
// fresh folder on the same disk, best of three rounds that take turns, in one run:
//   unpack_bench [MiB]
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "tarvane/engine/game_unpack.h"

namespace {

namespace fs = std::filesystem;

std::vector<double> BestSeconds(const std::vector<std::function<void()>>& runs, const std::function<void()>& clean) {
    std::vector<double> best(runs.size(), 1e9);
    for (int round = 0; round < 3; ++round) {
        for (std::size_t i = 0; i < runs.size(); ++i) {
            clean();
            std::system("sync");
            auto start = std::chrono::steady_clock::now();
            runs[i]();
            double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            best[i] = std::min(best[i], seconds);
        }
    }
    clean();
    return best;
}

void Shell(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
}

std::int64_t TreeBytes(const fs::path& folder, int& files) {
    std::int64_t bytes = 0;
    files = 0;
    for (const auto& item : fs::recursive_directory_iterator(folder)) {
        if (item.is_regular_file()) {
            bytes += static_cast<std::int64_t>(item.file_size());
            ++files;
        }
    }
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    int mib = argc > 1 ? std::atoi(argv[1]) : 2048;
    char pattern[] = "/tmp/unpack-bench-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return 1;
    }
    fs::path folder(pattern);
    std::string zip = (folder / "game.zip").string();
    int files = 0;
    // Stored and deflated about half each: content of 1.3 times the size asked for makes such a zip.
    std::int64_t content = 0;
    std::string make = "python3 " + std::string(TARVANE_SOURCE_DIR) + "/bench/make_game_zip.py " + zip + " " +
                       std::to_string(std::int64_t{mib} * 13 / 10 << 20);
    FILE* maker = ::popen(make.c_str(), "r");
    if (maker == nullptr || std::fscanf(maker, "%d %ld", &files, &content) != 2 || ::pclose(maker) != 0) {
        std::fprintf(stderr, "failed: %s\n", make.c_str());
        return 1;
    }
    std::printf("zip: %.0f MiB, %d files, %.0f MiB unpacked, in %s\n",
                static_cast<double>(fs::file_size(zip)) / (1 << 20), files, static_cast<double>(content) / (1 << 20),
                folder.c_str());
    Shell("cat " + zip + " >/dev/null");

    std::atomic<bool> stop = false;
    bool good = true;
    fs::path out = folder / "out";
    auto clean = [&] {
        fs::remove_all(out);
        fs::remove_all(folder / "game");
        fs::create_directories(out);
    };
    std::vector<double> best = BestSeconds({[&] {
                                                tarvane::UnpackRequest request;
                                                request.archivePath = platform::AnsiFromUtf8(zip);
                                                request.gameName = "game";
                                                tarvane::UnpackResult result = tarvane::UnpackGame(request, stop);
                                                int unpacked = 0;
                                                good = good && result.outcome == tarvane::UnpackOutcome::Done &&
                                                       TreeBytes(folder / "game", unpacked) == content &&
                                                       unpacked == files;
                                            },
                                            [&] { Shell("bsdtar -xf " + zip + " -C " + out.string()); },
                                            [&] { Shell("unzip -q " + zip + " -d " + out.string()); }},
                                           clean);
    double unpack = best[0], bsdtar = best[1], unzip = best[2];
    std::printf("UnpackGame   %6.2f s  (%s)\n", unpack, good ? "every file whole" : "NOT GOOD");
    std::printf("bsdtar -xf   %6.2f s\n", bsdtar);
    std::printf("unzip -q     %6.2f s\n", unzip);
    std::printf("UnpackGame / faster peer: %.2f (goal <= 1.10)\n", unpack / std::min(bsdtar, unzip));
    fs::remove_all(folder);
    return good ? 0 : 1;
}
