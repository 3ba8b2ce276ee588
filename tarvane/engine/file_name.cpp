#include "tarvane/engine/file_name.h"

#include "platform/ansi_text.h"
#include "platform/url_parse.h"

namespace tarvane {

std::string PlainFileName(std::string_view name) {
    std::string plain;
    plain.reserve(name.size());
    for (size_t i = 0; i < name.size();) {
        auto byte = static_cast<unsigned char>(name[i]);
        size_t length = platform::CharLength936(name, i);
        if (byte >= 0x80) {
            // A two-byte character keeps its trail byte even where it looks like "\"; a lead byte
            // without one would take the "/" after it along.
            plain += platform::IsMapped936(name, i, length) ? std::string(name.substr(i, length)) : "?";
        } else if (byte < 0x20 || byte == 0x7F || byte == '/' || byte == '\\') {
            plain += '_';
        } else {
            plain += static_cast<char>(byte);
        }
        i += length;
    }
    // A leading dot would hide the file (and "." or ".." would name a folder).
    for (size_t i = 0; i < plain.size() && plain[i] == '.'; ++i) {
        plain[i] = '_';
    }
    if (plain.empty()) {
        plain.assign(1, '_');
    }
    return plain;
}

std::string NameFromUrl(std::string_view url) {
    auto parsed = platform::ParseUrl(url);
    if (!parsed) {
        return "";
    }
    std::string_view path = parsed->object;
    path = path.substr(0, path.find_first_of("?#"));
    path = path.substr(path.rfind('/') + 1);
    return std::string(path.substr(0, path.rfind('.')));
}

std::string DataFilePath(const std::string& folder, const std::string& name, const std::string& type) {
    std::string path = folder;
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    return path + name + "." + type;
}

}  // namespace tarvane
