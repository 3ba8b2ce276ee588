#pragma once

#include <archive.h>
#include <archive_entry.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tarvane/engine/game_unpack.h"
#include "tarvane/engine/unpack/archive_set.h"
#include "tarvane/engine/unpack/entry_writer.h"
#include "tarvane/engine/unpack/parts_source.h"
#include "tarvane/engine/unpack/raw_names.h"
#include "tarvane/engine/unpack/unpack_limits.h"

namespace tarvane {

// One reading of an archive's entries into the staging folder, with the limits counted as the data
// comes rather than as the headers claim.
class UnpackPass {
public:
    struct Setup {
        const ArchiveSet& set;
        PartsSource& source;
        const UnpackLimits& limits;
        const std::string& password;
        std::int64_t room;  // bytes the unpacked entries may take
    };
    UnpackPass(const Setup& setup, const std::atomic<bool>& stop) : setup_(setup), rawNames_(setup.set, stop) {}

    // From the headers alone, before anything is written: refuses an archive whose entries already
    // do not fit or break the limits. Only where reading the headers costs no unpacking (zip).
    UnpackOutcome Preflight();
    UnpackOutcome Run(int stagingFd);

private:
    UnpackOutcome Open(archive* a, bool report);
    UnpackOutcome WriteEntry(archive* a, archive_entry* entry, EntryWriter& writer);
    UnpackOutcome WriteData(archive* a, archive_entry* entry, int fd);
    UnpackOutcome CopyMade(const char* linked, EntryWriter& writer);
    // Counts `bytes` more of output against the room and the bomb rule.
    UnpackOutcome Grow(std::int64_t bytes);
    UnpackOutcome ReadFailure(archive* a, archive_entry* entry) const;

    Setup setup_;
    std::int64_t output_ = 0;
    std::int64_t entries_ = 0;
    std::vector<std::string> components_;
    RawNames rawNames_;
};

}  // namespace tarvane
