#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "tarvane/engine/unpack/archive_reader.h"
#include "tarvane/engine/unpack/parts_source.h"

namespace tarvane {

// The reader drops a name it cannot convert from code page 936 whole. For those, a second reader
// that leaves names as their bytes follows the first one's entries, only when asked and skipping
// their data, and the bytes are converted here with the bad ones replaced.
class RawNames {
public:
    RawNames(const ArchiveSet& set, const std::atomic<bool>& stop) : set_(set), source_(stop, {}) {}

    // The UTF-8 name of the entry at `index` (counted from 0, never going back); empty when unknown.
    std::string At(std::int64_t index);

private:
    const ArchiveSet& set_;
    PartsSource source_;
    ArchiveReader reader_;
    std::int64_t next_ = 0;
    bool failed_ = false;
};

}  // namespace tarvane
