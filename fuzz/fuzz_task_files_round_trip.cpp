// Arbitrary bytes in every field of a task: added, updated and finished through TaskFiles, then read by
// a fresh TaskFiles from the files on disk. Every file must still parse and give back each field as
// the store keeps text (bytes that are no 936 character read as "?").
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "platform/ansi_text.h"
#include "tarvane/store/task_files.h"
#include "tarvane/store/xml_document.h"
#include "tarvane/store/xml_entities.h"

namespace {

const std::string& Folder() {
    return fuzz::ScratchFolder("fuzz-task-files");
}

using fuzz::Check;

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

bool Parses(const std::string& path) {
    tarvane::XmlDocument document;
    return document.LoadFile(path);
}

// The text fields of a task in one order; the fields travel as zero-separated pieces of the input.
std::vector<std::string*> Fields(tarvane::DownloadTask& task) {
    return {&task.name, &task.frmPge, &task.fileLink, &task.path,   &task.size, &task.downloadedSize,
            &task.type, &task.prxIP,  &task.prxName,  &task.prxPwd, &task.flag, &task.agent};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<std::string> pieces(1);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            pieces.emplace_back();
        } else {
            pieces.back() += static_cast<char>(data[i]);
        }
    }
    tarvane::DownloadTask added, updated;
    std::vector<std::string*> addedFields = Fields(added), updatedFields = Fields(updated);
    for (size_t i = 0; i < addedFields.size(); ++i) {
        *addedFields[i] = pieces[i % pieces.size()];
        *updatedFields[i] = pieces[(pieces.size() - 1 - i % pieces.size())];
    }
    added.prxPort = static_cast<int>(size) - 100;
    updated.prxPort = -static_cast<int>(pieces.size());

    const std::string download = Folder() + "/download.xml";
    const std::string completed = Folder() + "/completed.xml";
    WriteText(download, "<download/>");
    WriteText(completed, "<completed/>");
    tarvane::TaskFiles files;
    Check(files.AddItem(download, added, false), "add");
    // An update finds its item by the page, which it keeps.
    updated.frmPge = added.frmPge;
    files.ApplyDownloadChanges(download, {{tarvane::TaskFiles::DownloadChange::Kind::Update, updated}});
    Check(files.AddItem(completed, updated, true), "add finished");
    Check(Parses(download) && Parses(completed), "a task file no longer parses");

    tarvane::TaskFiles fresh;
    tarvane::DownloadTask read = fresh.GetTask(download, "frmPge", tarvane::StorableText(updated.frmPge));
    std::vector<std::string*> readFields = Fields(read);
    for (size_t i = 0; i + 1 < readFields.size(); ++i) {
        Check(*readFields[i] == tarvane::StorableText(*updatedFields[i]),
              "a field changed on its way through the file");
    }
    Check(read.agent == tarvane::StorableText(added.agent), "the update touched the agent");
    Check(read.prxPort == updated.prxPort, "port changed");
    Check(fresh.GetItemField(completed, "frmPge", tarvane::StorableText(updated.frmPge), "name") ==
              tarvane::StorableText(updated.name),
          "finished item changed");
    return 0;
}
