#include "tarvane/engine/archive_check.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <regex>
#include <vector>

#include "platform/codepage.h"
#include "platform/unique_fd.h"
#include "tarvane/engine/unpack/archive_reader.h"
#include "tarvane/engine/whole_file_checks.h"

namespace tarvane {

namespace {

constexpr std::size_t kBlock = 1 << 20;
// Entries that come to more than this many times the archive's size, and to more than the floor,
// make a compression bomb: reading it through would hold a core, a pause and the program's end.
constexpr std::int64_t kMostOutputRatio = 1000;
constexpr std::int64_t kOutputFloor = std::int64_t{100} << 20;

// The raw file as libarchive asks for it, with the bytes from the start onwards fed once, in order,
// to the whole-file checks: the reader seeks (7z and zip keep their index at the end), so only the
// part that continues what was fed counts, and whatever it skipped is read at the end.
class Source {
public:
    Source(platform::UniqueFd fd, std::int64_t size, const ExpectedDigest& digest, bool gzip,
           const std::atomic<bool>& stop, const ArchiveCheck::Progress& progress)
        : fd_(std::move(fd)), size_(size), checks_(digest, gzip), stop_(stop), progress_(progress), buffer_(kBlock) {}

    int fd() const { return fd_.get(); }
    bool stopped() const { return stop_.load(); }

    la_ssize_t Read(const void** block) {
        if (stopped()) {
            return -1;
        }
        ssize_t got = ::pread(fd_.get(), buffer_.data(), buffer_.size(), position_);
        if (got < 0) {
            return -1;
        }
        Feed(position_, buffer_.data(), static_cast<std::size_t>(got));
        position_ += got;
        *block = buffer_.data();
        return got;
    }

    la_int64_t Seek(la_int64_t offset, int whence) {
        std::int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? position_ : size_;
        if (base + offset < 0) {
            return ARCHIVE_FATAL;
        }
        position_ = base + offset;
        return position_;
    }

    // Feeds what the reader never asked for; false when stopped or unreadable.
    bool FeedRest() {
        if (!checks_.Active()) {
            return true;
        }
        while (fed_ < size_) {
            if (stopped()) {
                return false;
            }
            ssize_t got = ::pread(fd_.get(), buffer_.data(), buffer_.size(), fed_);
            if (got <= 0) {
                return false;
            }
            Feed(fed_, buffer_.data(), static_cast<std::size_t>(got));
        }
        return true;
    }

    bool WholeFileChecksPass() { return checks_.Passed(); }

private:
    void Feed(std::int64_t at, const unsigned char* bytes, std::size_t size) {
        std::int64_t end = at + static_cast<std::int64_t>(size);
        if (at > fed_ || end <= fed_) {
            return;
        }
        const unsigned char* fresh = bytes + (fed_ - at);
        std::size_t count = static_cast<std::size_t>(end - fed_);
        checks_.Feed(fresh, count);
        fed_ = end;
        if (progress_) {
            progress_(fed_, size_);
        }
    }

    platform::UniqueFd fd_;
    std::int64_t size_;
    WholeFileChecks checks_;
    const std::atomic<bool>& stop_;
    const ArchiveCheck::Progress& progress_;
    std::vector<unsigned char> buffer_;
    std::int64_t position_ = 0;
    std::int64_t fed_ = 0;
};

la_ssize_t ReadCallback(archive*, void* source, const void** block) {
    return static_cast<Source*>(source)->Read(block);
}

la_int64_t SeekCallback(archive*, void* source, la_int64_t offset, int whence) {
    return static_cast<Source*>(source)->Seek(offset, whence);
}

struct ArchiveDeleter {
    void operator()(archive* a) const { archive_read_free(a); }
};

// A seven-bit variable-length number of the rar5 headers.
bool ReadVint(const unsigned char*& at, const unsigned char* end, std::uint64_t& value) {
    value = 0;
    for (int shift = 0; at < end && shift < 64; shift += 7) {
        unsigned char byte = *at++;
        value |= static_cast<std::uint64_t>(byte & 0x7f) << shift;
        if ((byte & 0x80) == 0) {
            return true;
        }
    }
    return false;
}

// Whether the file's main header marks it as one volume of a rar set.
bool IsRarVolume(const unsigned char* head, std::size_t size) {
    static constexpr unsigned char kRar4[] = {'R', 'a', 'r', '!', 0x1a, 0x07, 0x00};
    static constexpr unsigned char kRar5[] = {'R', 'a', 'r', '!', 0x1a, 0x07, 0x01, 0x00};
    if (size >= 12 && std::memcmp(head, kRar4, sizeof(kRar4)) == 0) {
        return head[9] == 0x73 && (head[10] & 0x01) != 0;
    }
    if (size < 13 || std::memcmp(head, kRar5, sizeof(kRar5)) != 0) {
        return false;
    }
    const unsigned char* at = head + 12;  // after the header's CRC32
    const unsigned char* end = head + size;
    std::uint64_t headerSize = 0, type = 0, flags = 0, skip = 0, archiveFlags = 0;
    if (!ReadVint(at, end, headerSize) || !ReadVint(at, end, type) || type != 1 || !ReadVint(at, end, flags)) {
        return false;
    }
    if (((flags & 0x01) != 0 && !ReadVint(at, end, skip)) || ((flags & 0x02) != 0 && !ReadVint(at, end, skip))) {
        return false;
    }
    return ReadVint(at, end, archiveFlags) && (archiveFlags & 0x01) != 0;
}

// A name that says the file is one part of a split archive (game.part2.rar, game.7z.001, game.z01).
bool HasVolumeName(const std::string& utf8Path) {
    static const std::regex kVolume(R"(\.(part[0-9]+\.rar|[a-z0-9]+\.[0-9]{3}|z[0-9]{2}|r[0-9]{2})$)",
                                    std::regex::icase);
    return std::regex_search(utf8Path, kVolume);
}

enum class ZipEnd { Missing, Single, Volume };

// A whole zip ends with its end-of-central-directory record (bytes after it are not our concern);
// the reader does not insist on it, so a zip cut off after its last entry would pass. A disk number
// other than 0 (or 0xffff, which defers to the zip64 record) marks one part of a split zip.
ZipEnd FindZipEnd(int fd, std::int64_t size) {
    std::int64_t length = std::min<std::int64_t>(size, 22 + 65535);
    std::vector<unsigned char> tail(static_cast<std::size_t>(length));
    if (length < 22 || ::pread(fd, tail.data(), tail.size(), size - length) != length) {
        return ZipEnd::Missing;
    }
    for (std::size_t at = tail.size() - 22 + 1; at-- > 0;) {
        if (tail[at] == 'P' && tail[at + 1] == 'K' && tail[at + 2] == 5 && tail[at + 3] == 6) {
            int disk = tail[at + 4] | tail[at + 5] << 8;
            return disk != 0 && disk != 0xffff ? ZipEnd::Volume : ZipEnd::Single;
        }
    }
    return ZipEnd::Missing;
}

enum class EntriesRead { Through, Stopped, TooLarge };

// Reads every entry's data through; an entry the reader cannot test leaves the others to be read.
// A small file is read at the start, so the stop is looked at between the blocks the entries give.
EntriesRead ReadEntries(archive* a, const Source& source, std::int64_t mostOutput, bool& damaged, bool& untestable) {
    if (archive_read_open1(a) != ARCHIVE_OK) {
        untestable = true;
        return EntriesRead::Through;
    }
    archive_entry* entry = nullptr;
    int result = ARCHIVE_OK;
    std::int64_t output = 0;
    while ((result = archive_read_next_header(a, &entry)) == ARCHIVE_OK || result == ARCHIVE_WARN) {
        if (source.stopped()) {
            return EntriesRead::Stopped;
        }
        if (archive_entry_is_encrypted(entry)) {
            untestable = true;
            continue;
        }
        const void* block = nullptr;
        size_t size = 0;
        la_int64_t offset = 0;
        while ((result = archive_read_data_block(a, &block, &size, &offset)) == ARCHIVE_OK) {
            if (source.stopped()) {
                return EntriesRead::Stopped;
            }
            output += static_cast<std::int64_t>(size);
            if (output > mostOutput) {
                return EntriesRead::TooLarge;
            }
        }
        if (result == ARCHIVE_FAILED) {
            untestable = true;  // a method or encryption it does not read
        } else if (result != ARCHIVE_EOF) {
            break;
        }
    }
    if (result == ARCHIVE_FAILED) {
        untestable = true;
    } else if (result != ARCHIVE_EOF) {
        // In a format it knows, what stops the reader is a bad CRC or missing data.
        damaged = archive_format(a) != 0;
        untestable = untestable || !damaged;
    }
    return EntriesRead::Through;
}

}  // namespace

bool IsCheckedArchiveType(std::string_view type) {
    static constexpr std::string_view kTypes[] = {"zip",    "7z",     "rar",  "tar", "tgz",     "gz",
                                                  "tar.gz", "tbz",    "tbz2", "bz2", "tar.bz2", "txz",
                                                  "xz",     "tar.xz", "tzst", "zst", "tar.zst"};
    return std::any_of(std::begin(kTypes), std::end(kTypes), [&](std::string_view known) {
        return known.size() == type.size() && strncasecmp(known.data(), type.data(), type.size()) == 0;
    });
}

ArchiveCheck::ArchiveCheck(std::string path, ExpectedDigest digest)
    : path_(std::move(path)), digest_(std::move(digest)) {}

ArchiveVerdict ArchiveCheck::Run(const std::atomic<bool>& stop, const Progress& progress) {
    std::string utf8Path = platform::Utf8FromAnsi(path_);
    platform::UniqueFd fd(::open(utf8Path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0) {
        return ArchiveVerdict::Untestable;
    }
    std::array<unsigned char, 64> head{};
    ssize_t headSize = ::pread(fd.get(), head.data(), head.size(), 0);
    if (headSize < 0) {
        return ArchiveVerdict::Untestable;
    }
    ZipEnd zipEnd =
        headSize >= 2 && head[0] == 'P' && head[1] == 'K' ? FindZipEnd(fd.get(), info.st_size) : ZipEnd::Missing;
    bool volume = HasVolumeName(utf8Path) || IsRarVolume(head.data(), static_cast<std::size_t>(headSize)) ||
                  zipEnd == ZipEnd::Volume;
    bool gzip = headSize >= 2 && head[0] == 0x1f && head[1] == 0x8b;

    Source source(std::move(fd), info.st_size, digest_, gzip, stop, progress);
    std::unique_ptr<archive, ArchiveDeleter> reader(archive_read_new());
    archive* a = reader.get();
    SupportGameArchives(a);
    archive_read_set_read_callback(a, ReadCallback);
    archive_read_set_seek_callback(a, SeekCallback);
    archive_read_set_callback_data(a, &source);

    bool damaged = false;
    bool untestable = volume;  // one part of a set reads as cut off; only a digest can judge it
    if (!volume) {
        std::int64_t mostOutput = std::max<std::int64_t>(kOutputFloor, kMostOutputRatio * info.st_size);
        // Ended by its size before the stop was seen: the check came to its verdict.
        if (ReadEntries(a, source, mostOutput, damaged, untestable) == EntriesRead::TooLarge) {
            return ArchiveVerdict::Untestable;
        }
    }
    if (source.stopped()) {
        return ArchiveVerdict::Stopped;
    }
    if (!damaged && !untestable && (archive_format(a) & ARCHIVE_FORMAT_BASE_MASK) == ARCHIVE_FORMAT_ZIP) {
        damaged = zipEnd == ZipEnd::Missing;
    }
    if (!damaged && !source.FeedRest()) {
        return source.stopped() ? ArchiveVerdict::Stopped : ArchiveVerdict::Untestable;
    }
    if (damaged || !source.WholeFileChecksPass()) {
        return ArchiveVerdict::Damaged;
    }
    return untestable ? ArchiveVerdict::Untestable : ArchiveVerdict::Good;
}

}  // namespace tarvane
