#include "tarvane/engine/segment_map.h"

#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>

#include "platform/codepage.h"
#include "platform/file_replace.h"
#include "tarvane/engine/answer_check.h"

namespace tarvane {

namespace {

constexpr std::string_view kHeader = "tarvane segments 1";

// The next line of `text` without its line break; false at the end.
bool NextLine(std::string_view& text, std::string_view& line) {
    if (text.empty()) {
        return false;
    }
    size_t end = text.find('\n');
    if (end == std::string_view::npos) {
        return false;  // a file cut short ends without its last line break
    }
    line = text.substr(0, end);
    text.remove_prefix(end + 1);
    return true;
}

bool ReadNumber(std::string_view& line, int64_t& value) {
    while (!line.empty() && line.front() == ' ') {
        line.remove_prefix(1);
    }
    auto [rest, error] = std::from_chars(line.data(), line.data() + line.size(), value);
    if (error != std::errc() || rest == line.data()) {
        return false;
    }
    line.remove_prefix(static_cast<size_t>(rest - line.data()));
    return true;
}

bool TakePrefix(std::string_view& line, std::string_view prefix) {
    if (line.substr(0, prefix.size()) != prefix) {
        return false;
    }
    line.remove_prefix(prefix.size());
    return true;
}

}  // namespace

SegmentMap SegmentMap::Whole(int64_t size, int64_t done, std::string validator) {
    SegmentMap map;
    map.size = size;
    map.validator = std::move(validator);
    map.segments.push_back({0, std::clamp<int64_t>(done, 0, size), size});
    return map;
}

int64_t SegmentMap::DoneBytes() const {
    int64_t done = 0;
    for (const Segment& segment : segments) {
        done += segment.next - segment.start;
    }
    return done;
}

int64_t SegmentMap::Contiguous() const {
    for (const Segment& segment : segments) {
        if (!segment.Done()) {
            return segment.next;
        }
    }
    return size;
}

void SegmentMap::MarkDoneTo(int64_t count) {
    for (Segment& segment : segments) {
        if (segment.start < count) {
            segment.next = std::max(segment.next, std::min(segment.end, count));
        }
    }
}

Segment* SegmentMap::Find(int64_t start) {
    auto found = std::lower_bound(segments.begin(), segments.end(), start,
                                  [](const Segment& segment, int64_t value) { return segment.start < value; });
    return found != segments.end() && found->start == start ? &*found : nullptr;
}

Segment& SegmentMap::SplitAt(int64_t start, int64_t at) {
    auto found = std::find_if(segments.begin(), segments.end(), [&](const Segment& s) { return s.start == start; });
    Segment tail{at, at, found->end};
    found->end = at;
    return *segments.insert(found + 1, tail);
}

std::string SegmentMap::Text() const {
    std::string text(kHeader);
    text +=
        "\nsize " + std::to_string(size) + "\nvalidator " + validator + "\nranges " + (noRanges ? "no" : "yes") + "\n";
    for (const Segment& segment : segments) {
        text += std::to_string(segment.start) + " " + std::to_string(segment.next) + " " + std::to_string(segment.end) +
                "\n";
    }
    return text + "end\n";
}

std::optional<SegmentMap> SegmentMap::Parse(std::string_view text) {
    SegmentMap map;
    std::string_view line;
    std::string_view ranges;
    if (!NextLine(text, line) || line != kHeader || !NextLine(text, line) || !TakePrefix(line, "size") ||
        !ReadNumber(line, map.size) || !line.empty() || map.size <= 0 || !NextLine(text, line) ||
        !TakePrefix(line, "validator ") || !IsUsableValidator(line) || !NextLine(text, ranges) ||
        (ranges != "ranges yes" && ranges != "ranges no")) {
        return std::nullopt;
    }
    map.validator = line;
    map.noRanges = ranges == "ranges no";
    int64_t covered = 0;
    while (NextLine(text, line) && line != "end") {
        Segment segment;
        if (!ReadNumber(line, segment.start) || !ReadNumber(line, segment.next) || !ReadNumber(line, segment.end) ||
            !line.empty() || segment.start != covered || segment.next < segment.start || segment.end <= segment.start ||
            segment.next > segment.end || segment.end > map.size) {
            return std::nullopt;
        }
        covered = segment.end;
        map.segments.push_back(segment);
    }
    // Only a map written to its end line, covering the whole file, is believed.
    if (line != "end" || !text.empty() || covered != map.size) {
        return std::nullopt;
    }
    return map;
}

std::string SegmentMapPath(const std::string& dataFilePath) {
    return dataFilePath + ".segments";
}

bool SaveSegmentMap(const std::string& dataFilePath, const SegmentMap& map) {
    std::string text = map.Text();
    return platform::ReplaceFile(platform::Utf8FromAnsi(SegmentMapPath(dataFilePath)),
                                 [&](int fd) { return platform::WriteAll(fd, text); }) == 0;
}

std::optional<SegmentMap> LoadSegmentMap(const std::string& dataFilePath) {
    auto text = platform::ReadWholeFile(platform::Utf8FromAnsi(SegmentMapPath(dataFilePath)));
    return text ? SegmentMap::Parse(*text) : std::nullopt;
}

void RemoveSegmentMap(const std::string& dataFilePath) {
    unlink(platform::Utf8FromAnsi(SegmentMapPath(dataFilePath)).c_str());
    RemoveSegmentMapLeftovers(dataFilePath);
}

void RemoveSegmentMapLeftovers(const std::string& dataFilePath) {
    // A save cut off by a kill leaves its hidden temporary, ".NAME.TYPE.segments.XXXXXX".
    std::filesystem::path map(platform::Utf8FromAnsi(SegmentMapPath(dataFilePath)));
    const std::string prefix = "." + map.filename().string() + ".";
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(map.parent_path(), error)) {
        std::string name = entry.path().filename().string();
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix)) {
            std::filesystem::remove(entry.path(), error);
        }
    }
}

}  // namespace tarvane
