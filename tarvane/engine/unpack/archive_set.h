#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tarvane {

// The files an archive is read from: one, or every part of a set in reading order.
struct ArchiveSet {
    std::vector<std::string> parts;  // UTF-8 paths; empty when the name is no archive the unpacker reads
    std::string missing;             // the file name of the first part not in the folder
    // The set's last part is not known from its names: when reading runs out, `nextPart` is missing.
    bool open = false;
    std::string nextPart;
    bool spannedZip = false;  // ".z01"... then ".zip": one stream, its directory's offsets are per part
};

// Whether a part in the folder is whole; one still being written counts as missing.
using PartReady = std::function<bool(const std::string& utf8Path)>;

// The set that the file (a UTF-8 path to any of its parts) belongs to, from the names in its folder.
ArchiveSet FindArchiveSet(const std::string& utf8Path, const PartReady& ready = {});

}  // namespace tarvane
