#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "tarvane/core/engine_assembly.h"
#include "tarvane/engine/task_columns.h"
#include "tarvane/engine/task_fields.h"
#include "tests/support/fakes.h"
#include "tests/support/temp_dir.h"
#include "tests/support/test_site.h"

namespace tarvane::test {

using namespace std::chrono_literals;

// Polls until `done` or the time is up; answers `done()`.
inline bool WaitFor(const std::function<bool()>& done, std::chrono::milliseconds limit = 30s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// Desktop ports that record what the engine asked for.
struct RecordingPorts : SoundPlayer, TaskEnds, FakeClipboard, FakeDesktop {
    void PlayCompletionSound() override { ++sounds; }
    void Finished(const std::string& file, const std::string& folder, const std::string& unpackFailure) override {
        Ended(file + " in " + folder + (unpackFailure.empty() ? "" : ", " + unpackFailure));
    }
    void FailedForGood(const std::string& name, const std::string& reason) override { Ended(name + ": " + reason); }
    void Ended(const std::string& end) {
        std::lock_guard lock(endsMutex);
        ends.insert(end);
    }
    std::atomic<int> sounds{0};
    std::mutex endsMutex;
    std::multiset<std::string> ends;  // read once the workers are idle
};

// The engine's tasks read as the rows of the window's list would show them.
class BookRows {
public:
    explicit BookRows(const TaskBook& book) : book_(book) {}
    int RowCount() const { return static_cast<int>(book_.Count()); }
    TaskId KeyOfRow(int row) const {
        std::vector<TaskId> ids = book_.Ids();
        return row >= 0 && row < static_cast<int>(ids.size()) ? ids[static_cast<std::size_t>(row)] : kNoTask;
    }
    int RowOf(TaskId id) const {
        std::vector<TaskId> ids = book_.Ids();
        auto found = std::find(ids.begin(), ids.end(), id);
        return found == ids.end() ? -1 : static_cast<int>(found - ids.begin());
    }
    std::string SubItemText(int row, int column) const {
        auto task = book_.Get(KeyOfRow(row));
        return task ? TaskCellText(*task, column) : "";
    }
    int Image(int row) const {
        auto task = book_.Get(KeyOfRow(row));
        return task ? TaskImageOf(*task) : -1;
    }
    std::string Tip(int row) const {
        auto task = book_.Get(KeyOfRow(row));
        return task ? TaskTipText(*task) : "";
    }

private:
    const TaskBook& book_;
};

// The stall limit of the engine in the tests: a second, or TARVANE_TEST_STALL_SECONDS where a slow
// build (the sanitizers) on a busy machine can keep a connection waiting that long for its turn.
inline std::chrono::seconds TestStall() {
    const char* seconds = std::getenv("TARVANE_TEST_STALL_SECONDS");
    return std::chrono::seconds(seconds != nullptr ? std::clamp(std::atoi(seconds), 1, 60) : 1);
}

// What the engine asks of the desktop, made before the engine that holds on to it.
struct EngineViews {
    RecordingPorts ports;
};

// The whole download engine on real task files in `directory`, its tasks read as rows, and
// the program's retries in miniature (a stall of a second, waits of a few tenths). `officialHost`
// is where the parse service answers.
class EngineHarness : public EngineViews, public EngineAssembly {
public:
    EngineHarness(const std::string& directory, const std::string& officialHost,
                  std::chrono::seconds stall = TestStall())
        : EngineAssembly(
              EngineSetup{directory, officialHost, "quellora.localhost", {stall, {50ms, 100ms, 150ms, 200ms, 250ms}}},
              EnginePorts{ports, ports, ports, &ports}) {
        files.EnsureTaskFiles(directory);
        LoadTasks();
    }

    // The task in `row` of the list.
    TaskId Task(int row) const { return list.KeyOfRow(row); }

    // A new task for a page link, as the new-task dialog hands it over with `task`'s name and proxy.
    void AddPage(const std::string& pageLink, const std::string& folder, DownloadTask task = {}) {
        task.frmPge = task.fileLink = pageLink;
        task.path = folder;
        task.agent = kDefaultAgent;
        commands.AddTask({std::move(task), 1});
    }
    BookRows list{book};

    bool WaitIdle(std::chrono::milliseconds limit = 30s) {
        return WaitFor([this] { return scheduler.LiveWorkers() == 0; }, limit);
    }

    std::string DownloadFile() const { return programDirectory + kDownloadFileName; }
    std::string CompletedFile() const { return programDirectory + kCompletedFileName; }
};

// A program directory, a download folder, the test site and the engine wired to them.
class DownloadTest : public ::testing::Test {
protected:
    DownloadTest() : games_(temp_.File("games")) {
        std::filesystem::create_directory(games_);
        engine_ = std::make_unique<EngineHarness>(temp_.Directory(), site_.Host());
    }

    static std::string GamePage(const std::string& id) {
        return "http://game.quellora.localhost:8717/game/" + id + ".htm";
    }
    // A game page (named after `id`, or else `name`) whose parse reply names `path` on the site and `name`.
    std::string Page(const std::string& path, const std::string& name, const std::string& id = "") {
        std::string page = GamePage(id.empty() ? name : id);
        site_.SetParseReply(page, site_.Url(path), name);
        return page;
    }
    // Page() handed over as a new task into `folder`, the games folder unless said otherwise.
    std::string Add(const std::string& path, const std::string& name, std::string folder = "") {
        std::string page = Page(path, name);
        engine_->AddPage(page, folder.empty() ? games_ : folder);
        return page;
    }
    // A task stored as after a pause, `count` bytes of `size` counted, its file holding `partial` and
    // its link `path` on the site; then the list is loaded, as at the program's start. Answers its page.
    std::string Store(const std::string& name, const std::string& path, uint64_t size, const std::string& count,
                      const std::string& partial, const std::string& type = "bin") {
        DownloadTask task{.frmPge = GamePage(path.substr(path.rfind('/') + 1)),
                          .name = name,
                          .path = games_,
                          .size = std::to_string(size),
                          .downloadedSize = count,
                          .fileLink = site_.Url(path),
                          .flag = "2",
                          .type = type};
        WriteFile(platform::Utf8FromAnsi(games_ + "/" + name + "." + type), partial);
        engine_->files.AddItem(engine_->DownloadFile(), task, false);
        engine_->book.Load({EntryFromStored(task)}, {});
        return task.frmPge;
    }
    // Sets a stored field of a listed task, in the book and in download.xml, as a hand-edited or
    // older file would have it at the start.
    void SetStored(const std::string& page, const std::string& field, const std::string& value) {
        engine_->book.Update(engine_->FindTask(page), [&](TaskEntry& entry) {
            DownloadTask record = StoredForm(entry);
            for (const TaskField& stored : TaskFields()) {
                if (field == stored.name) {
                    stored.set(record, value);
                }
            }
            TakeStored(entry, record);
        });
        engine_->files.SetItemField(engine_->DownloadFile(), "frmPge", page, field, value);
    }
    // The program ended in order and started again on its files.
    void Restart() {
        engine_.reset();
        engine_ = std::make_unique<EngineHarness>(temp_.Directory(), site_.Host());
    }
    // A field of the task files, once they hold every change made so far.
    std::string Stored(const std::string& page, const std::string& field) {
        engine_->Flush();
        return engine_->files.GetItemField(engine_->DownloadFile(), "frmPge", page, field);
    }
    std::string Completed(const std::string& page, const std::string& field) {
        engine_->Flush();
        return engine_->files.GetItemField(engine_->CompletedFile(), "frmPge", page, field);
    }
    bool IsCompleted(const std::string& page) { return !Completed(page, "frmPge").empty(); }
    // Waits until every page has the flag, failed ("3") unless said otherwise.
    bool WaitFlag(const std::vector<std::string>& pages, const std::string& flag = "3") {
        return WaitFor(
            [&] { return std::ranges::all_of(pages, [&](auto& page) { return Stored(page, "flag") == flag; }); });
    }
    bool WaitCompleted(const std::vector<std::string>& pages, std::chrono::milliseconds limit = 30s) {
        if (WaitFor([&] { return std::ranges::all_of(pages, [&](auto& page) { return IsCompleted(page); }); }, limit)) {
            return true;
        }
        // What each unfinished task was doing, so a failure far away says where it stopped.
        for (TaskId id : engine_->book.Ids()) {
            if (auto task = engine_->book.Get(id)) {
                ADD_FAILURE() << "unfinished: " << task->page << " state " << task->state << " running "
                              << task->running << " done " << task->done << "/" << task->size << " retry "
                              << task->retry << "/" << task->retries << " failure '"
                              << platform::Utf8FromAnsi(task->failure) << "' tip '"
                              << platform::Utf8FromAnsi(TaskTipText(*task)) << "'";
            }
        }
        return false;
    }
    // The file `name` in the games folder.
    std::string Game(const std::string& name) { return ReadFile(platform::Utf8FromAnsi(games_ + "/" + name)); }
    void WriteConfig(const std::string& text) { WriteFile(temp_.File("config.ini"), text); }

    TempDir temp_;
    std::string games_;
    TestSite site_;
    std::unique_ptr<EngineHarness> engine_;
};

}  // namespace tarvane::test
