#include "tarvane/store/task_file_repair.h"

#include <sys/stat.h>

#include "platform/codepage.h"
#include "platform/file_replace.h"
#include "tarvane/engine/file_name.h"
#include "tarvane/store/set_aside.h"
#include "tarvane/store/xml_document.h"

namespace tarvane {
namespace {

bool Loads(const std::string& file) {
    XmlDocument document;
    return document.LoadFile(file) && document.FindElement() && document.EnterElement();
}

bool Exists(const std::string& ansiPath) {
    struct stat info {};
    return stat(platform::Utf8FromAnsi(ansiPath).c_str(), &info) == 0;
}

// One item as code page 936 text when it parses whole on its own and names its page.
bool ReadsWhole(const std::string& item) {
    XmlDocument document;
    return document.SetText("<r>" + item + "</r>") && document.IsWellFormed() && document.FindElement() &&
           document.EnterElement() && document.FindElement("item") && !document.GetAttribute("frmPge").empty();
}

std::string AsAnsi(const std::string& bytes) {
    bool utf8 = false;
    platform::MultiByteToWide(65001, bytes, &utf8);
    return utf8 ? platform::AnsiFromUtf8(bytes) : bytes;
}

bool SetAside(const std::string& file, const std::string& root, std::vector<SetAsideFile>& report) {
    std::string osPath = platform::Utf8FromAnsi(file);
    auto bytes = platform::ReadWholeFile(osPath);
    if (!bytes) {
        return false;  // not there (made fresh below) or not readable at all: nothing to set aside
    }
    SetAsideFile entry;
    entry.file = file;
    std::vector<std::string> items = SalvageItems(*bytes);
    std::string text = "<" + root + ">\r\n";
    for (const std::string& item : items) {
        text += item + "\r\n";
    }
    text += "</" + root + ">\r\n";
    XmlDocument fresh;
    fresh.SetText(text);
    // The damaged bytes are kept under their new name before anything replaces them.
    entry.setAsideAs = SetFileAside(file);
    if (entry.setAsideAs.empty()) {
        return false;
    }
    if (!fresh.SaveFile(file)) {
        return false;
    }
    entry.itemsCarriedOver = static_cast<int>(items.size());
    report.push_back(entry);
    return true;
}

}  // namespace

std::vector<std::string> SalvageItems(const std::string& bytes) {
    std::vector<std::string> items;
    std::size_t at = bytes.find("<item");
    while (at != std::string::npos) {
        std::size_t close = bytes.find('>', at);
        if (close == std::string::npos) {
            break;
        }
        std::size_t end = close + 1;
        if (bytes[close - 1] != '/') {
            std::size_t endTag = bytes.find("</item>", close);
            end = endTag == std::string::npos ? close + 1 : endTag + 7;
        }
        std::string item = AsAnsi(bytes.substr(at, end - at));
        if (ReadsWhole(item)) {
            items.push_back(std::move(item));
        }
        at = bytes.find("<item", end);
    }
    return items;
}

std::vector<SetAsideFile> RepairTaskFiles(TaskFiles& files, const std::string& programDirectory) {
    std::vector<SetAsideFile> report;
    std::string downloadFile = programDirectory + kDownloadFileName;
    std::string completedFile = programDirectory + kCompletedFileName;
    for (auto [file, root] : {std::pair{&downloadFile, "download"}, std::pair{&completedFile, "completed"}}) {
        if (Exists(*file) && !Loads(*file)) {
            SetAside(*file, root, report);
        }
    }
    files.EnsureTaskFiles(programDirectory);
    if (!files.Hold(downloadFile) || !files.Hold(completedFile)) {
        return report;
    }

    for (const DownloadTask& task : files.ListTasks(downloadFile)) {
        bool present = !task.type.empty() && Exists(DataFilePath(task.path, task.name, task.type));
        if (!present) {
            continue;
        }
        bool completed = files.ItemExists(completedFile, "frmPge", task.frmPge);
        if (!completed && task.flag == std::to_string(kStateCompleted)) {
            completed = files.AddItem(completedFile, task, true);
        }
        if (completed) {
            files.DeleteItem(downloadFile, "frmPge", task.frmPge);
        }
    }
    return report;
}

}  // namespace tarvane
