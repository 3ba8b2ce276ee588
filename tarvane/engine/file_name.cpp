#include "tarvane/engine/file_name.h"

#include "platform/url_parse.h"

namespace tarvane {

std::string PlainFileName(std::string_view name) {
    std::string plain;
    plain.reserve(name.size());
    for (size_t i = 0; i < name.size(); ++i) {
        auto byte = static_cast<unsigned char>(name[i]);
        if (byte >= 0x81 && byte <= 0xFE && i + 1 < name.size()) {
            // A two-byte 936 character: its trail byte may look like "\" and must stay.
            plain += name[i];
            plain += name[++i];
        } else if (byte < 0x20 || byte == 0x7F || byte == '/' || byte == '\\') {
            plain += '_';
        } else {
            plain += static_cast<char>(byte);
        }
    }
    if (plain.empty() || plain == "." || plain == "..") {
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
