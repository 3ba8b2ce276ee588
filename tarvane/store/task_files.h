#pragma once

#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tarvane/engine/task_record.h"
#include "tarvane/store/set_aside.h"

namespace tarvane {

class ListView;
class XmlDocument;

inline constexpr char kDownloadFileName[] = "download.xml";
inline constexpr char kCompletedFileName[] = "completed.xml";

// The two task files: download.xml (one item per unfinished task) and completed.xml (one item
// per finished download, newest first). Every operation takes the whole file, does one lookup or
// one change and writes the whole file back when it changed something. Operations on one file
// never interleave. The document of each file is kept between operations, but only serves while
// the file on disk is still the one it was loaded from or saved to. When the file has been damaged
// since (it no longer parses), that document is what the program holds: the damaged file is set
// aside and the document saved in its place. The engine reads them at its start and then writes
// them from one thread, behind its book of tasks.
class TaskFiles {
public:
    // Local date and time, for the cmpTime of completed items.
    using LocalClock = std::function<std::tm()>;

    TaskFiles();
    explicit TaskFiles(LocalClock clock);
    ~TaskFiles();
    TaskFiles(const TaskFiles&) = delete;
    TaskFiles& operator=(const TaskFiles&) = delete;

    static std::tm SystemLocalTime();

    // Creates download.xml and completed.xml with an empty root element where they are missing.
    // False when a missing file could not be created.
    bool EnsureTaskFiles(const std::string& programDirectory);

    // Loads a file so that its document is held from now on, to replace the file should it be
    // damaged later. False when it cannot be loaded.
    bool Hold(const std::string& file);
    // True when an item matches, and also when the file cannot be loaded.
    bool ItemExists(const std::string& file, const std::string& keyName, const std::string& keyValue);
    // The field of the first matching item; empty when none matches or the file cannot be loaded.
    std::string GetItemField(const std::string& file, const std::string& keyName, const std::string& keyValue,
                             const std::string& fieldName);
    // All 13 fields of the first matching item; an empty record when none matches.
    DownloadTask GetTask(const std::string& file, const std::string& keyName, const std::string& keyValue);
    // Sets (or appends) one attribute of the first matching item and saves.
    bool SetItemField(const std::string& file, const std::string& keyName, const std::string& keyValue,
                      const std::string& fieldName, const std::string& value);
    // Removes the first matching item with its line and saves.
    bool DeleteItem(const std::string& file, const std::string& keyName, const std::string& keyValue);
    // Appends a download.xml item after the last item, or (completed) inserts a completed.xml
    // item before the first one, stamped with the clock.
    bool AddItem(const std::string& file, const DownloadTask& task, bool completed);
    // One change of download.xml among several saved at once.
    struct DownloadChange {
        enum class Kind { Add, Update, Delete };
        Kind kind = Kind::Update;
        DownloadTask task;  // Delete: its page
    };
    // Makes the changes in order and saves once. A change whose item is missing is passed over. False
    // when the file could not be written; then none of them is in it.
    bool ApplyDownloadChanges(const std::string& file, const std::vector<DownloadChange>& changes);
    // Inserts a finished entry before the first one, as it is.
    bool AddCompletedItem(const std::string& file, const CompletedItem& item);
    // Sets the game folder and unpack failure of the first entry of the item's page and saves.
    bool UpdateCompletedItem(const std::string& file, const CompletedItem& item);
    // Every entry of completed.xml, in file order.
    std::vector<CompletedItem> ListCompleted(const std::string& file);
    // Every item of download.xml, in file order.
    std::vector<DownloadTask> ListTasks(const std::string& file);

    // The completed.xml record a finished task becomes.
    CompletedItem MakeCompletedItem(const DownloadTask& task) const;

    // Called, on the thread of the operation, whenever a changed file could not be written (a
    // read-only or full folder); the operation then answers false and the file keeps its content.
    // Set before the files are shared between threads.
    void OnSaveFailed(std::function<void(const std::string& file)> handler) { onSaveFailed_ = std::move(handler); }
    // Called, on the thread of the operation, when a file damaged while the program ran was set
    // aside and saved afresh. Set before the files are shared between threads.
    void OnSetAside(std::function<void(const SetAsideFile&)> handler) { onSetAside_ = std::move(handler); }

private:
    struct FileEntry;
    class Session;

    FileEntry& EntryFor(const std::string& file);

    LocalClock clock_;
    std::function<void(const std::string&)> onSaveFailed_;
    std::function<void(const SetAsideFile&)> onSetAside_;
    std::mutex entriesMutex_;
    std::map<std::string, std::unique_ptr<FileEntry>> entries_;
};

}  // namespace tarvane
