#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "tarvane/engine/file_digest.h"

namespace tarvane {

enum class ArchiveVerdict {
    Good,
    Damaged,     // a CRC or digest mismatch, or data cut off
    Untestable,  // encrypted entries, one volume of a set, a format or method the reader lacks, a bomb
    Stopped,     // the stop flag was raised
};

// Whether a file of this type (extension without the point, any case) is an archive worth reading
// through before it counts as finished.
bool IsCheckedArchiveType(std::string_view type);

// Reads a finished archive through once, every entry's data with its CRC, and in the same pass the
// raw bytes against a digest of the whole file when the server gave one. Runs on the caller's thread.
class ArchiveCheck {
public:
    // Bytes of the archive read so far and its size; called from Run about once per MiB.
    using Progress = std::function<void(std::int64_t done, std::int64_t total)>;

    // `path` in code page 936.
    explicit ArchiveCheck(std::string path, ExpectedDigest digest = {});

    ArchiveVerdict Run(const std::atomic<bool>& stop, const Progress& progress = {});

private:
    std::string path_;
    ExpectedDigest digest_;
};

}  // namespace tarvane
