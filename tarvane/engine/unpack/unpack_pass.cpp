#include "tarvane/engine/unpack/unpack_pass.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "tarvane/engine/unpack/archive_reader.h"
#include "tarvane/engine/unpack/entry_path.h"

namespace tarvane {

namespace {

bool IsZip(archive* a) {
    return (archive_format(a) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP;
}

UnpackOutcome FromErrno(int error) {
    switch (error) {
        case ENOSPC:
        case EDQUOT:
            return UnpackOutcome::NoRoom;
        // A name that is a file and a folder at once, or a link where a folder goes: made to clash.
        case EEXIST:
        case ENOTDIR:
        case EISDIR:
        case ELOOP:
            return UnpackOutcome::UnsafePath;
        default:
            return UnpackOutcome::WriteFailed;
    }
}

}  // namespace

UnpackOutcome UnpackPass::Open(archive* a, bool report) {
    setup_.source.Rewind(report);
    setup_.source.Attach(a);
    if (archive_read_open1(a) == ARCHIVE_OK) {
        return UnpackOutcome::Done;
    }
    if (setup_.source.stopped()) {
        return UnpackOutcome::Stopped;
    }
    return archive_format(a) == 0 && !setup_.set.open ? UnpackOutcome::NotArchive : ReadFailure(a, nullptr);
}

UnpackOutcome UnpackPass::Preflight() {
    if (setup_.set.spannedZip) {
        return UnpackOutcome::Done;
    }
    ArchiveReader reader = NewArchiveReader(setup_.set, setup_.password);
    archive* a = reader.get();
    if (UnpackOutcome opened = Open(a, false); opened != UnpackOutcome::Done) {
        return opened;
    }
    archive_entry* entry = nullptr;
    std::int64_t entries = 0, bytes = 0;
    int result = ARCHIVE_OK;
    while ((result = archive_read_next_header(a, &entry)) == ARCHIVE_OK || result == ARCHIVE_WARN) {
        // Entries are skipped by seeking, which only a zip's reader does without unpacking.
        if (!IsZip(a)) {
            break;
        }
        if (setup_.source.stopped()) {
            return UnpackOutcome::Stopped;
        }
        if (++entries > setup_.limits.mostEntries) {
            return UnpackOutcome::Bomb;
        }
        if (archive_entry_is_encrypted(entry) && setup_.password.empty()) {
            return UnpackOutcome::NeedPassword;
        }
        bytes += archive_entry_filetype(entry) == AE_IFREG ? std::max<la_int64_t>(archive_entry_size(entry), 0) : 0;
        if (bytes > setup_.limits.ratioFloor && bytes / setup_.limits.mostRatio > setup_.source.size()) {
            return UnpackOutcome::Bomb;
        }
        if (bytes > setup_.room) {
            return UnpackOutcome::NoRoom;
        }
    }
    return UnpackOutcome::Done;  // what the headers do not say, the unpacking finds
}

UnpackOutcome UnpackPass::Run(int stagingFd) {
    ArchiveReader reader = NewArchiveReader(setup_.set, setup_.password);
    archive* a = reader.get();
    if (UnpackOutcome opened = Open(a, true); opened != UnpackOutcome::Done) {
        return opened;
    }
    EntryWriter writer(stagingFd);
    archive_entry* entry = nullptr;
    int result = ARCHIVE_OK;
    while ((result = archive_read_next_header(a, &entry)) == ARCHIVE_OK || result == ARCHIVE_WARN) {
        if (setup_.source.stopped()) {
            return UnpackOutcome::Stopped;
        }
        if (++entries_ > setup_.limits.mostEntries) {
            return UnpackOutcome::Bomb;
        }
        if (UnpackOutcome written = WriteEntry(a, entry, writer); written != UnpackOutcome::Done) {
            return written;
        }
    }
    return result == ARCHIVE_EOF ? UnpackOutcome::Done : ReadFailure(a, nullptr);
}

UnpackOutcome UnpackPass::WriteEntry(archive* a, archive_entry* entry, EntryWriter& writer) {
    const char* converted = archive_entry_pathname(entry);
    std::string name = converted != nullptr ? converted : rawNames_.At(entries_ - 1);
    if (name.empty()) {
        name = "unnamed-" + std::to_string(entries_);  // kept, if not by its name
    }
    if (!SplitEntryPath(name, components_)) {
        return UnpackOutcome::UnsafePath;
    }
    mode_t type = archive_entry_filetype(entry);
    // Links, devices and fifos are not made: a game needs none, and a link is how entries escape.
    // A hard link to a file made before becomes a copy of it.
    const char* linked = archive_entry_hardlink(entry);
    if (linked != nullptr && archive_entry_size(entry) == 0) {
        return components_.empty() ? UnpackOutcome::Done : CopyMade(linked, writer);
    }
    if (components_.empty() || (type != AE_IFREG && type != AE_IFDIR)) {
        return UnpackOutcome::Done;
    }
    if (type == AE_IFDIR) {
        int error = writer.MakeFolder(components_);
        return error == 0 ? UnpackOutcome::Done : FromErrno(error);
    }
    if (archive_entry_is_encrypted(entry) && setup_.password.empty()) {
        return UnpackOutcome::NeedPassword;
    }
    std::int64_t claimed = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
    if (claimed > setup_.room - output_) {
        return UnpackOutcome::NoRoom;
    }
    platform::UniqueFd file;
    if (int error = writer.CreateFile(components_, (archive_entry_mode(entry) & 0111) != 0, file); error != 0) {
        return FromErrno(error);
    }
    if (UnpackOutcome written = WriteData(a, entry, file.get()); written != UnpackOutcome::Done) {
        return written;
    }
    if (archive_entry_mtime_is_set(entry)) {
        timespec times[2] = {{0, UTIME_OMIT}, {archive_entry_mtime(entry), archive_entry_mtime_nsec(entry)}};
        ::futimens(file.get(), times);
    }
    return file.Close() ? UnpackOutcome::Done : FromErrno(errno);
}

UnpackOutcome UnpackPass::CopyMade(const char* linked, EntryWriter& writer) {
    std::vector<std::string> target;
    platform::UniqueFd from, to;
    struct stat info {};
    // A link out of the folder, or to nothing made, is left out.
    if (!SplitEntryPath(linked, target) || target.empty() || writer.OpenMade(target, from) != 0 ||
        ::fstat(from.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return UnpackOutcome::Done;
    }
    if (UnpackOutcome grown = Grow(info.st_size); grown != UnpackOutcome::Done) {
        return grown;
    }
    if (int error = writer.CreateFile(components_, (info.st_mode & 0111) != 0, to); error != 0) {
        return FromErrno(error);
    }
    for (std::int64_t left = info.st_size; left > 0;) {
        ssize_t copied = ::copy_file_range(from.get(), nullptr, to.get(), nullptr, static_cast<size_t>(left), 0);
        if (copied <= 0) {
            return FromErrno(copied < 0 ? errno : EIO);
        }
        left -= copied;
    }
    return to.Close() ? UnpackOutcome::Done : FromErrno(errno);
}

UnpackOutcome UnpackPass::WriteData(archive* a, archive_entry* entry, int fd) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    std::int64_t end = 0;  // of the data written so far; holes count, as the file's size grows by them
    int result = ARCHIVE_OK;
    while ((result = archive_read_data_block(a, &block, &size, &offset)) == ARCHIVE_OK || result == ARCHIVE_WARN) {
        if (setup_.source.stopped()) {
            return UnpackOutcome::Stopped;
        }
        if (offset < 0) {
            return UnpackOutcome::Damaged;
        }
        std::int64_t blockEnd = offset + static_cast<std::int64_t>(size);
        if (blockEnd > end) {
            if (UnpackOutcome grown = Grow(blockEnd - end); grown != UnpackOutcome::Done) {
                return grown;
            }
            end = blockEnd;
        }
        const char* bytes = static_cast<const char*>(block);
        while (size > 0) {
            ssize_t put = ::pwrite(fd, bytes, size, offset);
            if (put < 0 && errno == EINTR) {
                continue;
            }
            if (put <= 0) {
                return FromErrno(put < 0 ? errno : ENOSPC);
            }
            bytes += put, offset += put, size -= static_cast<size_t>(put);
        }
    }
    if (result != ARCHIVE_EOF) {
        return ReadFailure(a, entry);
    }
    // A sparse file that ends in a hole.
    std::int64_t claimed = archive_entry_size_is_set(entry) ? archive_entry_size(entry) : 0;
    if (claimed > end) {
        if (UnpackOutcome grown = Grow(claimed - end); grown != UnpackOutcome::Done) {
            return grown;
        }
        if (::ftruncate(fd, claimed) != 0) {
            return FromErrno(errno);
        }
    }
    return UnpackOutcome::Done;
}

UnpackOutcome UnpackPass::Grow(std::int64_t bytes) {
    output_ += bytes;
    if (output_ > setup_.limits.ratioFloor && output_ / setup_.limits.mostRatio > setup_.source.size()) {
        return UnpackOutcome::Bomb;
    }
    return output_ > setup_.room ? UnpackOutcome::NoRoom : UnpackOutcome::Done;
}

UnpackOutcome UnpackPass::ReadFailure(archive* a, archive_entry* entry) const {
    if (setup_.source.stopped()) {
        return UnpackOutcome::Stopped;
    }
    bool encrypted =
        (entry != nullptr && archive_entry_is_encrypted(entry)) || archive_read_has_encrypted_entries(a) > 0;
    if (encrypted) {
        if (setup_.password.empty()) {
            return UnpackOutcome::NeedPassword;
        }
        // A format whose encryption the reader cannot undo fails the right password as well.
        bool decrypts = (archive_read_format_capabilities(a) & ARCHIVE_READ_FORMAT_CAPS_ENCRYPT_DATA) != 0;
        return decrypts ? UnpackOutcome::WrongPassword : UnpackOutcome::Damaged;
    }
    return setup_.set.open ? UnpackOutcome::PartMissing : UnpackOutcome::Damaged;
}

}  // namespace tarvane
