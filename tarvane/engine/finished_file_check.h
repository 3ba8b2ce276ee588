#pragma once

#include <atomic>
#include <string>
#include <string_view>

#include "tarvane/engine/archive_check.h"
#include "tarvane/engine/file_digest.h"

namespace tarvane {

// Whether a finished download is read through before it counts as finished: an archive always, any
// other file when the server sent a digest of it.
bool NeedsFinishedCheck(std::string_view type, const ExpectedDigest& digest);

// Reads the finished file at `path` (code page 936) once: an archive entry by entry with the digest
// in the same pass, any other file against the digest alone. Runs on the caller's thread.
ArchiveVerdict CheckFinishedFile(const std::string& path, std::string_view type, const ExpectedDigest& digest,
                                 const std::atomic<bool>& stop, const ArchiveCheck::Progress& progress);

}  // namespace tarvane
