// The task store on download.xml files of 100 to 100,000 items: XmlDocument parsing against
// pugixml on the same bytes, and the TaskFiles operations on the file on disk.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <pugixml.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "tarvane/store/task_files.h"
#include "tarvane/store/xml_document.h"
#include "tarvane/store/xml_entities.h"
#include "tarvane/store/xml_file_io.h"

namespace {

using tarvane::DownloadTask;

constexpr int kSizes[] = {100, 1000, 10000, 100000};
constexpr int kTargetSize = 10000;
constexpr double kParseRatioTarget = 2.0;
constexpr double kOperationTargetMs = 15.0;

// Game titles as they appear on the portal (UTF-8 here, code page 936 in the files' text).
constexpr const char* kTitles[] = {
    "仙剑奇侠传", "植物大战僵尸", "三国志曹操传", "红色警戒",   "魔兽争霸", "极品飞车",
    "侠盗猎车手", "模拟人生",     "帝国时代",     "暗黑破坏神", "英雄无敌", "合金弹头",
};

std::string Attribute(const char* name, const std::string& value) {
    return std::string(" ") + name + "=\"" + tarvane::EscapeXmlAttribute(value) + "\"";
}

DownloadTask MakeTask(int index, const std::vector<std::string>& titles, const std::string& folder) {
    DownloadTask task;
    std::string id = std::to_string(100000 + index);
    task.name = titles[index % titles.size()] + platform::AnsiFromUtf8(" 第") + std::to_string(index % 7 + 1) +
                platform::AnsiFromUtf8("部 高清硬盘版");
    task.frmPge = "http://game.quellora.localhost:8717/game/detail/2026/12/" + id +
                  ".htm?from=portal&cat=" + std::to_string(index % 12 + 1);
    task.fileLink = "http://dl" + std::to_string(index % 8) + ".files.quellora.localhost:8717/pub/games/single/" + id +
                    "/a3f9c07d5e21b846f0c1d2e3a4b5c6d7/setup_" + id + "_v1.2." + std::to_string(index % 10) +
                    ".zip?token=6b1f0e9d8c7b6a5948372615f4e3d2c1b0a99887&expires=1767225600";
    task.path = folder;
    task.size = std::to_string(50'000'000 + index * 1237);
    task.downloadedSize = std::to_string(index * 611);
    task.type = "zip";
    task.prxIP = index % 5 == 0 ? "127.0.0.1" : "";
    task.prxPort = index % 5 == 0 ? 3128 : 0;
    task.flag = std::to_string(index % 3 + 1);
    task.agent = "Mozilla/5.0 (X11; Linux x86_64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/120.0 Safari/537.36";
    return task;
}

std::string ItemLine(const DownloadTask& task) {
    return "<item" + Attribute("name", task.name) + Attribute("frmPge", task.frmPge) +
           Attribute("fileLink", task.fileLink) + Attribute("path", task.path) + Attribute("size", task.size) +
           Attribute("downloadedSize", task.downloadedSize) + Attribute("type", task.type) +
           Attribute("prxIP", task.prxIP) + Attribute("prxPort", std::to_string(task.prxPort)) +
           Attribute("prxName", task.prxName) + Attribute("prxPwd", task.prxPwd) + Attribute("flag", task.flag) +
           Attribute("agent", task.agent) + "/>\r\n";
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// One download.xml of `count` items: its text in memory (code page 936) and the file on disk
// (UTF-8, as the program writes it).
struct Sample {
    int count = 0;
    std::string text;
    std::string file;
    std::string fileBytes;
    DownloadTask last;
};

std::unique_ptr<Sample> MakeSample(int count, const std::string& folder) {
    std::vector<std::string> titles;
    for (const char* title : kTitles) {
        titles.push_back(platform::AnsiFromUtf8(title));
    }
    const std::string savePath = platform::AnsiFromUtf8("/home/player/下载/单机游戏");
    auto sample = std::make_unique<Sample>();
    sample->count = count;
    sample->text = "<download>\r\n";
    for (int i = 0; i < count; ++i) {
        DownloadTask task = MakeTask(i, titles, savePath);
        sample->text += ItemLine(task);
        sample->last = task;
    }
    sample->text += "</download>\r\n";
    sample->file = folder + "/download-" + std::to_string(count) + ".xml";
    tarvane::XmlResultLog log;
    if (!tarvane::WriteXmlFile(sample->file, sample->text, {}, log)) {
        std::fprintf(stderr, "cannot write %s: %s\n", sample->file.c_str(), log.Text().c_str());
        std::exit(1);
    }
    sample->fileBytes = ReadBytes(sample->file);
    return sample;
}

// The program loads each file once at start; later operations find it unchanged.
void Warm(tarvane::TaskFiles& files, const Sample& sample) {
    benchmark::DoNotOptimize(files.GetItemField(sample.file, "frmPge", sample.last.frmPge, "flag"));
}

void ParseXmlDocument(benchmark::State& state, const Sample* sample) {
    for (auto _ : state) {
        tarvane::XmlDocument document;
        bool wellFormed = document.SetText(std::string_view(sample->text));
        benchmark::DoNotOptimize(wellFormed);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sample->text.size()));
}

void ParsePugixml(benchmark::State& state, const Sample* sample) {
    for (auto _ : state) {
        pugi::xml_document document;
        pugi::xml_parse_result result =
            document.load_buffer(sample->text.data(), sample->text.size(), pugi::parse_default, pugi::encoding_utf8);
        benchmark::DoNotOptimize(result.status);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * sample->text.size()));
}

void GetItemField(benchmark::State& state, const Sample* sample) {
    tarvane::TaskFiles files;
    Warm(files, *sample);
    for (auto _ : state) {
        std::string value = files.GetItemField(sample->file, "frmPge", sample->last.frmPge, "downloadedSize");
        benchmark::DoNotOptimize(value);
    }
}

// The added item is removed again outside the timing, through the same object, as the program
// would: the file stays at its size and the kept document stays valid.
void AddItem(benchmark::State& state, const Sample* sample) {
    tarvane::TaskFiles files;
    Warm(files, *sample);
    DownloadTask task = sample->last;
    task.frmPge += "&copy=1";
    for (auto _ : state) {
        files.AddItem(sample->file, task, false);
        state.PauseTiming();
        files.DeleteItem(sample->file, "frmPge", task.frmPge);
        state.ResumeTiming();
    }
    WriteBytes(sample->file, sample->fileBytes);
}

void DeleteItem(benchmark::State& state, const Sample* sample) {
    tarvane::TaskFiles files;
    Warm(files, *sample);
    for (auto _ : state) {
        files.DeleteItem(sample->file, "frmPge", sample->last.frmPge);
        state.PauseTiming();
        files.AddItem(sample->file, sample->last, false);
        state.ResumeTiming();
    }
    WriteBytes(sample->file, sample->fileBytes);
}

// The floor of any save that survives a crash: the same bytes written to a new file, synced and
// renamed over the old one.
void SyncedReplace(benchmark::State& state, const Sample* sample) {
    const std::string temporary = sample->file + ".bench";
    for (auto _ : state) {
        int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        bool ok = fd >= 0 && write(fd, sample->fileBytes.data(), sample->fileBytes.size()) ==
                                 static_cast<ssize_t>(sample->fileBytes.size());
        ok = fd >= 0 && fsync(fd) == 0 && ok;
        if (fd >= 0) {
            close(fd);
        }
        if (!ok || rename(temporary.c_str(), sample->file.c_str()) != 0) {
            state.SkipWithError("write failed");
            break;
        }
    }
}

// Prints the usual table, then the parse ratios and the targets.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
                double toMs = 1e3 / benchmark::GetTimeUnitMultiplier(run.time_unit);
                milliseconds_[run.benchmark_name()] = {run.GetAdjustedRealTime() * toMs,
                                                       run.GetAdjustedCPUTime() * toMs};
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nXmlDocument parse time / pugixml parse time (same bytes, same run; CPU time)\n");
        for (int size : kSizes) {
            Times ours = Time("Parse/XmlDocument/" + std::to_string(size));
            Times peer = Time("Parse/pugixml/" + std::to_string(size));
            if (ours.cpu > 0 && peer.cpu > 0) {
                double ratio = ours.cpu / peer.cpu;
                std::printf("  %6d items: %8.3f ms / %8.3f ms = %.2fx%s\n", size, ours.cpu, peer.cpu, ratio,
                            size != kTargetSize          ? ""
                            : ratio <= kParseRatioTarget ? "  (target <= 2x: met)"
                                                         : "  (target <= 2x: MISSED)");
            }
        }
        std::printf("\nTaskFiles operations on the %d-item file (target < %.0f ms each; wall time, CPU time)\n",
                    kTargetSize, kOperationTargetMs);
        for (const char* operation : {"GetItemField", "AddItem", "DeleteItem"}) {
            Times times = Time(std::string("TaskFiles/") + operation + "/" + std::to_string(kTargetSize));
            if (times.real > 0) {
                std::printf("  %-12s %8.3f ms %8.3f ms  %s\n", operation, times.real, times.cpu,
                            times.real < kOperationTargetMs ? "met" : "MISSED");
            }
        }
        Times floor = Time("Disk/SyncedReplace/" + std::to_string(kTargetSize));
        if (floor.real > 0) {
            std::printf("  (writing, syncing and renaming the same bytes alone: %.3f ms)\n", floor.real);
        }
    }

private:
    struct Times {
        double real = 0;
        double cpu = 0;
    };

    Times Time(const std::string& name) const {
        auto it = milliseconds_.find(name);
        return it == milliseconds_.end() ? Times{} : it->second;
    }

    std::map<std::string, Times> milliseconds_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    std::string folder = (std::filesystem::temp_directory_path() / "store-bench-XXXXXX").string();
    if (mkdtemp(folder.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    std::vector<std::unique_ptr<Sample>> samples;
    for (int size : kSizes) {
        samples.push_back(MakeSample(size, folder));
        const Sample* sample = samples.back().get();
        std::string suffix = "/";
        suffix += std::to_string(size);
        benchmark::RegisterBenchmark(("Parse/XmlDocument" + suffix).c_str(), ParseXmlDocument, sample)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Parse/pugixml" + suffix).c_str(), ParsePugixml, sample)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("TaskFiles/GetItemField" + suffix).c_str(), GetItemField, sample)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("TaskFiles/AddItem" + suffix).c_str(), AddItem, sample)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("TaskFiles/DeleteItem" + suffix).c_str(), DeleteItem, sample)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Disk/SyncedReplace" + suffix).c_str(), SyncedReplace, sample)
            ->Unit(benchmark::kMillisecond);
    }
    std::printf("download.xml sizes:");
    for (const auto& sample : samples) {
        std::printf(" %d items = %.1f MB;", sample->count, static_cast<double>(sample->fileBytes.size()) / 1e6);
    }
    std::printf("\n");
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
    return 0;
}
