// Arbitrary bytes as config.ini: reads, writes (one key, then two at once) and reads again. The first
// three bytes give the lengths of a value, a section name and a key name taken from the end of the
// input; the rest is the file.
#include <stdlib.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/settings_file.h"

namespace {

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

const std::string& ConfigPath() {
    static const std::string path = [] {
        // Memory-backed when there is such a folder: every write is flushed to disk.
        char folder[] = "/dev/shm/fuzz-settings-XXXXXX";
        char fallback[] = "/tmp/fuzz-settings-XXXXXX";
        const char* made = mkdtemp(folder);
        made = made != nullptr ? made : mkdtemp(fallback);
        Check(made != nullptr, "temporary folder");
        static std::string madeFolder = made;
        std::atexit([] { rmdir(madeFolder.c_str()); });
        return std::string(made) + "/config.ini";
    }();
    return path;
}

std::string Slurp(const std::string& path) {
    std::string bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[4096];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
            bytes.append(buffer, got);
        }
        std::fclose(file);
    }
    return bytes;
}

void Spill(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    Check(file != nullptr, "write the input file");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

std::string TakeTail(std::string& bytes, std::size_t length) {
    length = std::min(length, bytes.size());
    std::string tail = bytes.substr(bytes.size() - length);
    bytes.resize(bytes.size() - length);
    return tail;
}

// What a written value reads back as: blanks around it and one pair of enclosing quotes go.
std::string AsRead(std::string_view value) {
    std::size_t first = value.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return "";
    }
    value = value.substr(first, value.find_last_not_of(" \t") - first + 1);
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        value = value.substr(1, value.size() - 2);
    }
    return std::string(value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 3) {
        return 0;
    }
    std::string bytes(reinterpret_cast<const char*>(data) + 3, size - 3);
    std::string value = TakeTail(bytes, data[0] % 40);
    std::string section = TakeTail(bytes, data[1] % 12);
    std::string key = TakeTail(bytes, data[2] % 12);
    const std::string& path = ConfigPath();
    Spill(path, bytes);
    platform::SettingsFile file(path);

    for (std::size_t buffer : {std::size_t{1}, std::size_t{7}, std::size_t{260}}) {
        Check(file.ReadString("defaultPxy", "ip", "127.0.0.1", buffer).size() < buffer, "cut to the buffer");
    }
    const std::string pathBefore = file.ReadString("options", "defaultPath", "<none>", 3000);
    const int verBefore = file.ReadInt("main", "Ver", -7);

    if (file.WriteString("options", "maxTaskNum", value)) {
        Check(file.ReadString("options", "maxTaskNum", "<none>", 4096) == AsRead(value), "written value reads back");
    } else {
        Check(value.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos, "only line breaks refused");
        Check(Slurp(path) == bytes, "a refused write leaves the file");
    }
    Check(file.ReadString("options", "defaultPath", "<none>", 3000) == pathBefore, "other keys kept");
    Check(file.ReadInt("main", "Ver", -7) == verBefore, "other sections kept");

    // Two keys in one write: both stored (the later wins where they are one key), or neither.
    const std::string before = Slurp(path);
    if (file.WriteStrings({{"options", "maxTaskNum", "w"}, {section, key, "v"}}) == 0) {
        Check(file.ReadString(section, key, "<none>", 16) == "v", "written names read back");
        const std::string other = file.ReadString("options", "maxTaskNum", "<none>", 16);
        Check(other == "w" || other == "v", "the whole batch is stored");
    } else {
        Check(Slurp(path) == before, "a refused write leaves the file");
    }
    unlink(path.c_str());
    return 0;
}
