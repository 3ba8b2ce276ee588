#include "tarvane/store/task_files.h"

#include "tarvane/engine/finished_item.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string_view>
#include <vector>

#include "platform/ansi_text.h"
#include "platform/codepage.h"
#include "platform/file_replace.h"
#include "tarvane/engine/format_size.h"
#include "tarvane/engine/list_view.h"
#include "tarvane/engine/task_fields.h"
#include "tarvane/store/xml_document.h"
#include "tarvane/store/xml_entities.h"
#include "tarvane/store/xml_file_io.h"
#include "tarvane/store/xml_tokenizer.h"

namespace tarvane {
namespace {

constexpr std::string_view kItem = "item";

// Whether the current item's key attribute decodes to the key value. Decoding leaves everything
// before the first '&' as it is, so most items are told apart without decoding.
bool KeyMatches(const XmlDocument& document, const std::string& keyName, const std::string& keyValue) {
    XmlDocument::ElementInfo info;
    XmlAttributeSpan span;
    if (document.GetElementInfo(document.CurrentElement(), info)) {
        std::string_view tag = std::string_view(document.Text()).substr(info.start, info.startTagLength);
        if (!FindXmlAttribute(tag, keyName, span) || !span.hasValue) {
            return keyValue.empty();
        }
        std::string_view raw = tag.substr(span.valueOffset, span.valueLength);
        std::size_t ampersand = raw.find('&');
        if (ampersand == std::string_view::npos) {
            return raw == keyValue;
        }
        if (std::string_view(keyValue).substr(0, ampersand) != raw.substr(0, ampersand)) {
            return false;
        }
    }
    return document.GetAttribute(keyName) == keyValue;
}

// Moves to the first item whose key attribute equals the key value byte for byte. The key is taken
// as the writer stored it, so a key with a stray lead byte or a control character still finds its item.
bool FindItem(XmlDocument& document, const std::string& keyName, const std::string& keyValue) {
    const std::string key = StorableText(keyValue);
    while (document.FindElement(kItem)) {
        if (KeyMatches(document, keyName, key)) {
            return true;
        }
    }
    return false;
}

DownloadTask ReadTask(const XmlDocument& document) {
    DownloadTask task;
    for (const TaskField& field : TaskFields()) {
        field.set(task, document.GetAttribute(field.name));
    }
    return task;
}

// Writes a file that does not exist yet, whole or not at all: a temporary file is linked to the
// name, which fails instead of replacing a file that appeared meanwhile.
bool CreateWholeFile(const std::string& osPath, std::string_view bytes) {
    platform::ReplaceOptions options;
    options.temporaryTemplate = osPath + kSaveTemporarySuffix + "XXXXXX";
    options.syncFolder = false;
    options.createOnly = true;
    return platform::ReplaceFile(
               osPath, [bytes](int fd) { return platform::WriteAll(fd, bytes); }, options) == 0;
}

// Temporary files of saves that were cut off (the process was killed) before their rename.
void RemoveLeftoverTemporaries(const std::string& osPath) {
    std::filesystem::path file(osPath);
    std::string prefix = file.filename().string() + kSaveTemporarySuffix;
    std::error_code error;
    std::filesystem::directory_iterator entries(file.has_parent_path() ? file.parent_path() : ".", error);
    for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
        std::string name = entries->path().filename().string();
        if (name.size() == prefix.size() + kSaveTemporaryUniqueLength && name.starts_with(prefix)) {
            std::error_code ignored;
            std::filesystem::remove(entries->path(), ignored);
        }
    }
}

// What identifies the content of a file without reading it: every save makes a new file, and a
// change in place moves the size or the modification time.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t modifiedNs = 0;

    bool operator==(const FileStamp&) const = default;
};

bool StampOf(const std::string& osPath, FileStamp& stamp) {
    struct stat info {};
    if (stat(osPath.c_str(), &info) != 0) {
        return false;
    }
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec;
    return true;
}

}  // namespace

// One task file: the lock that serialises the operations on it, and the document as this object
// last loaded or saved it, with the stamp of the file it matches.
struct TaskFiles::FileEntry {
    std::mutex mutex;
    std::unique_ptr<XmlDocument> document;
    FileStamp stamp;
};

// One operation on one file, under the file's lock from start to end.
class TaskFiles::Session {
public:
    Session(TaskFiles& files, const std::string& file)
        : entry_(files.EntryFor(file)),
          lock_(entry_.mutex),
          file_(file),
          osPath_(platform::Utf8FromAnsi(file)),
          onSaveFailed_(files.onSaveFailed_),
          onSetAside_(files.onSetAside_) {}

    // The document entered at its root element (the first element, whatever its name), or null
    // when the file is missing, unreadable or not well-formed. The kept document serves while
    // the file is unchanged since; otherwise the file is loaded again. A file that no longer parses
    // is replaced by the kept document; while that cannot be done, a lookup still answers from
    // it and a change is refused as unsaved.
    XmlDocument* Open(bool forChange = false) {
        FileStamp now;
        const bool present = StampOf(osPath_, now);
        // A file removed while the program holds its tasks is written again with them.
        const bool removed = !present && errno == ENOENT && entry_.document;
        if (!present && !removed) {
            entry_.document.reset();
            return nullptr;
        }
        if (removed || !entry_.document || entry_.stamp != now) {
            auto document = std::make_unique<XmlDocument>();
            if (present && document->LoadFile(file_) && EnterRoot(*document)) {
                entry_.document = std::move(document);
                entry_.stamp = now;
                return entry_.document.get();
            }
            if (!entry_.document) {
                return nullptr;
            }
            if (!ReplaceDamaged(present) && forChange) {
                if (onSaveFailed_) {
                    onSaveFailed_(file_);
                }
                return nullptr;
            }
        }
        entry_.document->Rewind();
        if (!EnterRoot(*entry_.document)) {
            entry_.document.reset();
            return nullptr;
        }
        return entry_.document.get();
    }

    // Writes the changed document. When the save fails the file keeps its old content, so the
    // kept document no longer matches it.
    bool Save() {
        if (!entry_.document->SaveFile(file_)) {
            entry_.document.reset();
            if (onSaveFailed_) {
                onSaveFailed_(file_);
            }
            return false;
        }
        if (!StampOf(osPath_, entry_.stamp)) {
            entry_.document.reset();
        }
        return true;
    }

    const std::string& OsPath() const { return osPath_; }

private:
    static bool EnterRoot(XmlDocument& document) { return document.FindElement() && document.EnterElement(); }

    // Sets the damaged file aside (when it is `present`, not removed) and saves the kept document in
    // its place. When the save fails, the damaged file goes back, to be tried again at the next operation.
    bool ReplaceDamaged(bool present) {
        SetAsideFile aside{file_, "", 0};
        if (present && (aside.setAsideAs = SetFileAside(file_)).empty()) {
            return false;
        }
        if (!entry_.document->SaveFile(file_)) {
            if (present) {
                std::rename(platform::Utf8FromAnsi(aside.setAsideAs).c_str(), osPath_.c_str());
            }
            return false;
        }
        if (!StampOf(osPath_, entry_.stamp)) {
            entry_.stamp = {};
        }
        entry_.document->Rewind();
        if (EnterRoot(*entry_.document)) {
            while (entry_.document->FindElement(kItem)) {
                ++aside.itemsCarriedOver;
            }
        }
        if (onSetAside_) {
            onSetAside_(aside);
        }
        return true;
    }

    FileEntry& entry_;
    std::lock_guard<std::mutex> lock_;
    const std::string& file_;
    std::string osPath_;
    const std::function<void(const std::string&)>& onSaveFailed_;
    const std::function<void(const SetAsideFile&)>& onSetAside_;
};

TaskFiles::TaskFiles() : TaskFiles(&TaskFiles::SystemLocalTime) {}

TaskFiles::TaskFiles(LocalClock clock) : clock_(std::move(clock)) {}

TaskFiles::~TaskFiles() = default;

TaskFiles::FileEntry& TaskFiles::EntryFor(const std::string& file) {
    std::string key = std::filesystem::path(file).lexically_normal().string();
    std::lock_guard lock(entriesMutex_);
    auto& entry = entries_[key];
    if (!entry) {
        entry = std::make_unique<FileEntry>();
    }
    return *entry;
}

std::tm TaskFiles::SystemLocalTime() {
    return LocalTimeNow();
}

bool TaskFiles::EnsureTaskFiles(const std::string& programDirectory) {
    bool ok = true;
    for (auto [name, root] :
         {std::pair{kDownloadFileName, "<download/>"}, std::pair{kCompletedFileName, "<completed/>"}}) {
        Session session(*this, programDirectory + name);
        RemoveLeftoverTemporaries(session.OsPath());
        if (access(session.OsPath().c_str(), F_OK) != 0 && !CreateWholeFile(session.OsPath(), root)) {
            ok = false;
        }
    }
    return ok;
}

bool TaskFiles::Hold(const std::string& file) {
    Session session(*this, file);
    return session.Open() != nullptr;
}

bool TaskFiles::ItemExists(const std::string& file, const std::string& keyName, const std::string& keyValue) {
    Session session(*this, file);
    XmlDocument* document = session.Open();
    return document == nullptr || FindItem(*document, keyName, keyValue);
}

std::string TaskFiles::GetItemField(const std::string& file, const std::string& keyName, const std::string& keyValue,
                                    const std::string& fieldName) {
    Session session(*this, file);
    XmlDocument* document = session.Open();
    if (document == nullptr || !FindItem(*document, keyName, keyValue)) {
        return {};
    }
    return document->GetAttribute(fieldName);
}

DownloadTask TaskFiles::GetTask(const std::string& file, const std::string& keyName, const std::string& keyValue) {
    Session session(*this, file);
    XmlDocument* document = session.Open();
    if (document == nullptr || !FindItem(*document, keyName, keyValue)) {
        return {};
    }
    return ReadTask(*document);
}

bool TaskFiles::SetItemField(const std::string& file, const std::string& keyName, const std::string& keyValue,
                             const std::string& fieldName, const std::string& value) {
    Session session(*this, file);
    XmlDocument* document = session.Open(true);
    if (document == nullptr || !FindItem(*document, keyName, keyValue) || !document->SetAttribute(fieldName, value)) {
        return false;
    }
    return session.Save();
}

bool TaskFiles::DeleteItem(const std::string& file, const std::string& keyName, const std::string& keyValue) {
    Session session(*this, file);
    XmlDocument* document = session.Open(true);
    if (document == nullptr || !FindItem(*document, keyName, keyValue) || !document->RemoveElement()) {
        return false;
    }
    return session.Save();
}

namespace {

// Every download.xml attribute of an item that is saved (`adding`: made), in the order a new item is
// written. The extra ones are written when they say something and removed when they do not.
void WriteTaskFields(XmlDocument& document, const DownloadTask& task, bool adding) {
    for (const TaskField& field : TaskFields()) {
        std::string value = field.get(task);
        if (field.place == FieldPlace::OnAdd && !adding) {
            continue;
        }
        if (field.place == FieldPlace::Extra && value.empty()) {
            document.RemoveAttribute(field.name);
        } else {
            document.SetAttribute(field.name, value);
        }
    }
}

// What an unpack left on a completed.xml item: after the others, and only when set, so that readers
// that do not know them pass over them.
constexpr char kGameFolder[] = "gameFolder";
constexpr char kUnpackError[] = "unpackError";

void WriteUnpackFields(XmlDocument& document, const CompletedItem& item) {
    for (auto [name, value] :
         {std::pair{kGameFolder, &item.gameFolder}, std::pair{kUnpackError, &item.unpackFailure}}) {
        if (value->empty()) {
            document.RemoveAttribute(name);
        } else {
            document.SetAttribute(name, *value);
        }
    }
}

// Appends a download.xml item after the last one.
bool AppendTask(XmlDocument& document, const DownloadTask& task) {
    while (document.FindElement(kItem)) {
    }
    if (!document.AppendElement(kItem)) {
        return false;
    }
    WriteTaskFields(document, task, true);
    return true;
}

}  // namespace

bool TaskFiles::AddItem(const std::string& file, const DownloadTask& task, bool completed) {
    if (completed) {
        return AddCompletedItem(file, MakeCompletedItem(task));
    }
    Session session(*this, file);
    XmlDocument* document = session.Open(true);
    if (document == nullptr || !AppendTask(*document, task)) {
        return false;
    }
    return session.Save();
}

bool TaskFiles::AddCompletedItem(const std::string& file, const CompletedItem& item) {
    Session session(*this, file);
    XmlDocument* document = session.Open(true);
    if (document == nullptr) {
        return false;
    }
    document->FindElement(kItem);
    if (!document->InsertElement(kItem)) {
        return false;
    }
    document->SetAttribute("name", item.name);
    document->SetAttribute("size", item.size);
    document->SetAttribute("type", item.type);
    document->SetAttribute("frmPge", item.frmPge);
    document->SetAttribute("fileLink", item.fileLink);
    document->SetAttribute("path", item.path);
    document->SetAttribute("cmpTime", item.cmpTime);
    WriteUnpackFields(*document, item);
    return session.Save();
}

bool TaskFiles::UpdateCompletedItem(const std::string& file, const CompletedItem& item) {
    Session session(*this, file);
    XmlDocument* document = session.Open(true);
    if (document == nullptr || !FindItem(*document, "frmPge", item.frmPge)) {
        return false;
    }
    WriteUnpackFields(*document, item);
    return session.Save();
}

bool TaskFiles::ApplyDownloadChanges(const std::string& file, const std::vector<DownloadChange>& changes) {
    Session session(*this, file);
    XmlDocument* document = session.Open(true);
    if (document == nullptr) {
        return false;
    }
    for (const DownloadChange& change : changes) {
        document->Rewind();
        document->FindElement();
        document->EnterElement();
        switch (change.kind) {
            case DownloadChange::Kind::Add:
                if (!AppendTask(*document, change.task)) {
                    return false;
                }
                break;
            case DownloadChange::Kind::Update:
                if (FindItem(*document, "frmPge", change.task.frmPge)) {
                    WriteTaskFields(*document, change.task, false);
                }
                break;
            case DownloadChange::Kind::Delete:
                if (FindItem(*document, "frmPge", change.task.frmPge)) {
                    document->RemoveElement();
                }
                break;
        }
    }
    return session.Save();
}

std::vector<CompletedItem> TaskFiles::ListCompleted(const std::string& file) {
    std::vector<CompletedItem> items;
    Session session(*this, file);
    XmlDocument* document = session.Open();
    while (document != nullptr && document->FindElement(kItem)) {
        items.push_back({.name = document->GetAttribute("name"),
                         .size = document->GetAttribute("size"),
                         .type = document->GetAttribute("type"),
                         .frmPge = document->GetAttribute("frmPge"),
                         .fileLink = document->GetAttribute("fileLink"),
                         .path = document->GetAttribute("path"),
                         .cmpTime = document->GetAttribute("cmpTime"),
                         .gameFolder = document->GetAttribute(kGameFolder),
                         .unpackFailure = document->GetAttribute(kUnpackError)});
    }
    return items;
}

std::vector<DownloadTask> TaskFiles::ListTasks(const std::string& file) {
    std::vector<DownloadTask> tasks;
    Session session(*this, file);
    XmlDocument* document = session.Open();
    while (document != nullptr && document->FindElement(kItem)) {
        tasks.push_back(ReadTask(*document));
    }
    return tasks;
}

CompletedItem TaskFiles::MakeCompletedItem(const DownloadTask& task) const {
    return FinishedItem(task, clock_());
}

}  // namespace tarvane
