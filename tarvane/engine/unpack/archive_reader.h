#pragma once

#include <archive.h>

#include <memory>
#include <string>

#include "tarvane/engine/unpack/archive_set.h"

namespace tarvane {

struct ArchiveReaderDeleter {
    void operator()(archive* a) const { archive_read_free(a); }
};
using ArchiveReader = std::unique_ptr<archive, ArchiveReaderDeleter>;

// Lets a reader take the archive formats of games (zip, 7z, rar, rar5, tar) and the compression
// filters built into the library; none that would start an outside program.
void SupportGameArchives(archive* a);

// A reader of the formats and filters the unpacker knows, not yet opened. Zip and rar names without
// the UTF-8 mark are read as code page 936 when `codePageNames`, as their bytes otherwise.
ArchiveReader NewArchiveReader(const ArchiveSet& set, const std::string& password, bool codePageNames = true);

}  // namespace tarvane
