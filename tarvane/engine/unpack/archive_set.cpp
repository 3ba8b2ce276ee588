#include "tarvane/engine/unpack/archive_set.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <regex>
#include <vector>

#include "platform/unique_fd.h"
#include "tarvane/engine/game_unpack.h"

namespace tarvane {

namespace {

bool EndsWithNoCase(std::string_view name, std::string_view end) {
    return name.size() > end.size() && strncasecmp(name.data() + name.size() - end.size(), end.data(), end.size()) == 0;
}

bool IsSingleArchiveName(std::string_view name) {
    static constexpr std::string_view kTypes[] = {".zip",  ".7z",      ".rar", ".tar",    ".tgz",  ".tar.gz", ".tbz",
                                                  ".tbz2", ".tar.bz2", ".txz", ".tar.xz", ".tzst", ".tar.zst"};
    return std::any_of(std::begin(kTypes), std::end(kTypes),
                       [&](std::string_view t) { return EndsWithNoCase(name, t); });
}

// A numbered part's name: what comes before its number, the number's digits and what follows.
struct PartName {
    enum Kind { None, RarPart, Split, ZipSpan, OldRar } kind = None;
    std::string prefix;
    std::string suffix;
    long number = 0;
};

PartName ParsePartName(const std::string& name) {
    static const std::regex kRarPart(R"(^(.*\.part)([0-9]+)(\.rar)$)", std::regex::icase);
    static const std::regex kSplit(R"(^(.*\.(?:7z|zip|rar|tar)\.)([0-9]{3})()$)", std::regex::icase);
    static const std::regex kZipSpan(R"(^(.*\.z)([0-9]{2,})()$)", std::regex::icase);
    static const std::regex kOldRar(R"(^(.*\.r)([0-9]{2})()$)", std::regex::icase);
    const std::pair<const std::regex*, PartName::Kind> kinds[] = {{&kRarPart, PartName::RarPart},
                                                                  {&kSplit, PartName::Split},
                                                                  {&kZipSpan, PartName::ZipSpan},
                                                                  {&kOldRar, PartName::OldRar}};
    std::smatch match;
    for (const auto& [pattern, kind] : kinds) {
        if (std::regex_match(name, match, *pattern)) {
            return {kind, match[1].str(), match[3].str(), std::stol(match[2].str())};
        }
    }
    return {};
}

std::string Padded(long number, std::size_t width) {
    std::string digits = std::to_string(number);
    return std::string(digits.size() < width ? width - digits.size() : 0, '0') + digits;
}

std::int64_t FileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

// The number of the last disk of a spanned zip, from the end record of its ".zip" part; -1 when
// there is none.
long LastZipDisk(const std::string& path) {
    platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    std::int64_t size = FileSize(path);
    std::int64_t length = std::min<std::int64_t>(size, 22 + 65535);
    std::vector<unsigned char> tail(static_cast<std::size_t>(std::max<std::int64_t>(length, 0)));
    if (!fd.valid() || length < 22 || ::pread(fd.get(), tail.data(), tail.size(), size - length) != length) {
        return -1;
    }
    for (std::size_t at = tail.size() - 22 + 1; at-- > 0;) {
        if (tail[at] == 'P' && tail[at + 1] == 'K' && tail[at + 2] == 5 && tail[at + 3] == 6) {
            return tail[at + 4] | tail[at + 5] << 8;
        }
    }
    return -1;
}

// The numbered parts in the folder that share the part's prefix and suffix and are whole, by number.
std::map<long, std::string> NumberedParts(const std::filesystem::path& folder, const PartName& part,
                                          const PartReady& ready) {
    std::map<long, std::string> found;
    std::error_code error;
    for (const auto& item : std::filesystem::directory_iterator(folder, error)) {
        std::string name = item.path().filename().string();
        PartName other = ParsePartName(name);
        if (other.kind == part.kind && other.prefix == part.prefix && other.suffix == part.suffix &&
            (!ready || ready(item.path().string()))) {
            found.emplace(other.number, name);
        }
    }
    return found;
}

}  // namespace

bool IsUnpackableArchive(std::string_view fileName) {
    return IsSingleArchiveName(fileName) || IsNumberedPart(fileName);
}

bool IsNumberedPart(std::string_view fileName) {
    return ParsePartName(std::string(fileName)).kind != PartName::None;
}

ArchiveSet FindArchiveSet(const std::string& utf8Path, const PartReady& ready) {
    std::filesystem::path path(utf8Path);
    std::filesystem::path folder = path.parent_path();
    std::string name = path.filename().string();
    PartName part = ParsePartName(name);
    std::error_code error;
    if (part.kind == PartName::None && EndsWithNoCase(name, ".zip")) {
        std::string stem = name.substr(0, name.size() - 1);  // "game.zi"
        // The last part of a spanned zip is named like a whole one; its end record tells them apart.
        if (std::filesystem::exists(folder / (stem.substr(0, stem.size() - 2) + "z01"), error) ||
            LastZipDisk(utf8Path) > 0) {
            part = {PartName::ZipSpan, stem.substr(0, stem.size() - 1), "", 0};
        }
    } else if (part.kind == PartName::None && EndsWithNoCase(name, ".rar")) {
        std::string prefix = name.substr(0, name.size() - 2);  // "game.r"
        if (std::filesystem::exists(folder / (prefix + "00"), error)) {
            part = {PartName::OldRar, prefix, "", -1};
        }
    }
    ArchiveSet set;
    if (part.kind == PartName::None) {
        if (IsSingleArchiveName(name)) {
            set.parts.push_back(utf8Path);
        }
        return set;
    }
    std::map<long, std::string> found = NumberedParts(folder, part, ready);
    std::size_t width = part.kind == PartName::Split ? 3 : part.kind == PartName::RarPart ? 1 : 2;
    if (!found.empty()) {
        width = found.begin()->second.size() - part.prefix.size() - part.suffix.size();
    }
    auto nameOf = [&](long number) {
        auto at = found.find(number);
        return at != found.end() ? at->second : part.prefix + Padded(number, width) + part.suffix;
    };
    long first =
        part.kind == PartName::RarPart || part.kind == PartName::Split || part.kind == PartName::ZipSpan ? 1 : 0;
    long last = found.empty() ? first - 1 : found.rbegin()->first;
    if (part.kind == PartName::OldRar) {
        // "game.rar" comes first, then "game.r00", "game.r01"...
        std::string head = part.prefix + (part.prefix.back() == 'R' ? "AR" : "ar");
        if (!std::filesystem::exists(folder / head, error) || (ready && !ready((folder / head).string()))) {
            set.missing = head;
        }
        set.parts.push_back((folder / head).string());
    }
    std::string zipPart;
    long lastDisk = 0;
    if (part.kind == PartName::ZipSpan) {
        // "game.z01"... then "game.zip", whose end record says how many came before it.
        zipPart = part.prefix.substr(0, part.prefix.size() - 1) + (part.prefix.back() == 'Z' ? "ZIP" : "zip");
        bool zipReady = !ready || ready((folder / zipPart).string());
        lastDisk = zipReady ? LastZipDisk((folder / zipPart).string()) : -1;
        last = std::max(last, lastDisk);
    }
    for (long number = first; number <= last; ++number) {
        std::string partName = nameOf(number);
        if (found.count(number) == 0 && set.missing.empty()) {
            set.missing = partName;
        }
        set.parts.push_back((folder / partName).string());
    }
    if (part.kind == PartName::ZipSpan) {
        if (lastDisk < 0 && set.missing.empty()) {
            set.missing = zipPart;
        }
        set.parts.push_back((folder / zipPart).string());
        set.spannedZip = true;
        return set;
    }
    if (set.parts.empty()) {
        set.missing = nameOf(first);
    }
    // Parts but the last are of one size: a last part as large as the first may have more after it.
    set.open = set.parts.size() < 2 || FileSize(set.parts.back()) == FileSize(set.parts.front());
    set.nextPart = nameOf(last + 1);
    return set;
}

}  // namespace tarvane
