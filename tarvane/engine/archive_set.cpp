#include "tarvane/engine/archive_set.h"

#include <filesystem>
#include <regex>
#include <system_error>

#include "platform/codepage.h"
#include "tarvane/engine/folder_of_path.h"

namespace tarvane {

namespace {

// Each form: the base name, and the set key it gives. The names are code page 936, whose second
// bytes are never a '.' or a digit, so these byte patterns cannot match inside a character.
struct SetForm {
    std::regex pattern;
    const char* key;
};

const std::vector<SetForm>& SetForms() {
    static const std::vector<SetForm> forms = [] {
        auto icase = std::regex::ECMAScript | std::regex::icase;
        std::vector<SetForm> list;
        list.push_back({std::regex(R"(^(.+)\.part\d+\.rar$)", icase), "$1.part#.rar"});
        list.push_back({std::regex(R"(^(.+)\.(7z|zip|rar)\.\d{3}$)", icase), "$1.$2.#"});
        list.push_back({std::regex(R"(^(.+)\.(zip|z\d{2})$)", icase), "$1.zip#"});
        list.push_back({std::regex(R"(^(.+)\.(rar|r\d{2})$)", icase), "$1.rar#"});
        return list;
    }();
    return forms;
}

std::string KeyOfName(const std::string& name) {
    for (const SetForm& form : SetForms()) {
        std::smatch match;
        if (std::regex_match(name, match, form.pattern)) {
            std::string key = match.format(form.key);
            for (char& c : key) {
                if (c >= 'A' && c <= 'Z') {
                    c = static_cast<char>(c - 'A' + 'a');
                }
            }
            return key;
        }
    }
    return name;
}

}  // namespace

std::string ArchiveSetKey(const std::string& archivePath) {
    std::string folder = FolderOfPath(archivePath);
    return folder + KeyOfName(archivePath.substr(folder.size()));
}

std::vector<std::string> ArchiveSetParts(const std::string& archivePath) {
    std::string folder = FolderOfPath(archivePath);
    std::string key = ArchiveSetKey(archivePath);
    if (key == archivePath) {
        return {archivePath};
    }
    std::vector<std::string> parts;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(platform::Utf8FromAnsi(folder), error)) {
        std::string name = platform::AnsiFromUtf8(entry.path().filename().string());
        if (entry.is_regular_file(error) && folder + KeyOfName(name) == key) {
            parts.push_back(folder + name);
        }
    }
    return parts;
}

}  // namespace tarvane
