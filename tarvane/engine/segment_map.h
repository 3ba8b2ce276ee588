#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvane {

// One stretch of a data file fetched over its own connection: [start, next) is on disk, [next, end)
// is still to come.
struct Segment {
    int64_t start = 0;
    int64_t next = 0;
    int64_t end = 0;
    int owner = -1;  // the connection working on it, while a transfer runs; never stored
    // Where its next request begins when that is not the usual overlap before `next`; never stored.
    int64_t checkFrom = -1;

    bool Done() const { return next >= end; }
    int64_t Left() const { return end - next; }
};

// Which stretches of a file are on disk, kept beside the data file while the file comes over several
// connections. The segments cover the file from 0 to its size in order, without gap or overlap.
struct SegmentMap {
    int64_t size = 0;
    std::string validator;  // ETag, else Last-Modified, of the bytes on disk
    bool noRanges = false;  // a range was answered with the whole file: one connection from now on
    std::vector<Segment> segments;

    // A file of `size` bytes, of which the first `done` are on disk.
    static SegmentMap Whole(int64_t size, int64_t done, std::string validator);
    int64_t DoneBytes() const;
    // Bytes from the start of the file without a gap.
    int64_t Contiguous() const;
    bool Finished() const { return Contiguous() == size; }
    // Bytes before `count` are on disk (a count saved elsewhere that is ahead of the map).
    void MarkDoneTo(int64_t count);
    Segment* Find(int64_t start);
    // Ends the segment at `start` at `at`; [at, end) becomes a segment of its own, answered.
    Segment& SplitAt(int64_t start, int64_t at);

    std::string Text() const;
    // Nothing for a text that is not a whole, consistent map.
    static std::optional<SegmentMap> Parse(std::string_view text);
};

// The map's file beside the data file (paths in code page 936).
std::string SegmentMapPath(const std::string& dataFilePath);
// Replaces the map's file atomically; false when it cannot be written.
bool SaveSegmentMap(const std::string& dataFilePath, const SegmentMap& map);
// Nothing when the file is missing or damaged.
std::optional<SegmentMap> LoadSegmentMap(const std::string& dataFilePath);
// Deleting or finishing a task takes its map along.
void RemoveSegmentMap(const std::string& dataFilePath);
// Removes the temporaries of saves of the map that a kill cut off.
void RemoveSegmentMapLeftovers(const std::string& dataFilePath);

}  // namespace tarvane
