#include "tarvane/engine/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include "platform/codepage.h"
#include "tarvane/engine/folder_of_path.h"

namespace tarvane {

namespace {

bool AllZero(const char* data, size_t bytes) {
    return std::all_of(data, data + bytes, [](char c) { return c == 0; });
}

// The stretches below `size` that hold no blocks on the disk, as [start, end).
std::vector<std::pair<off_t, off_t>> Holes(int fd, off_t size) {
    std::vector<std::pair<off_t, off_t>> holes;
    for (off_t at = 0; at < size;) {
        off_t hole = lseek(fd, at, SEEK_HOLE);
        if (hole < 0 || hole >= size) {
            break;
        }
        off_t data = lseek(fd, hole, SEEK_DATA);
        at = data < 0 || data > size ? size : data;
        holes.emplace_back(hole, at);
    }
    return holes;
}

}  // namespace

std::string ReplacementPath(const std::string& path) {
    std::string folder(FolderOfPath(path));
    return folder + "." + path.substr(folder.size()) + ".new";
}

void DataFile::Adopt(platform::UniqueFd fd, std::string path, int64_t count) {
    fd_ = std::move(fd);
    path_ = std::move(path);
    count_ = count;
    ContinueAt(count);
}

DataFile::Cursor DataFile::Cursor::At(int64_t offset, int64_t compareEnd) {
    Cursor cursor;
    cursor.writePos = cursor.blockStart = offset;
    cursor.compareEnd = compareEnd;
    return cursor;
}

void DataFile::ContinueAt(int64_t offset) {
    startOver_ = false;
    answerOffset_ = std::clamp<int64_t>(offset, 0, count_);
}

void DataFile::StartOver() {
    startOver_ = true;
    answerOffset_ = 0;
}

bool DataFile::Accept(int64_t size) {
    if (!startOver_) {
        return true;
    }
    if (replacing_ || Size() == 0) {
        // Only a file with bytes in it is cut: ext4 flushes a file truncated to nothing when it is
        // closed, which would cost a fresh download its whole write-back.
        if (Size() > 0 && ftruncate(fd_.get(), 0) != 0) {
            error_ = errno;
            return false;
        }
    } else {
        platform::UniqueFd fresh(
            open(platform::Utf8FromAnsi(ReplacementPath(path_)).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
        if (!fresh.valid()) {
            error_ = errno;
            return false;
        }
        keptCount_ = count_;
        fd_ = std::move(fresh);
        replacing_ = true;
    }
    startOver_ = false;
    count_ = 0;
    // The old file stays whole until the new one is: a new one that cannot fit beside it fails now.
    if (size >= 0 && Reserve(size) == ReserveResult::NoRoom && replacing_) {
        error_ = ENOSPC;
        return false;
    }
    return true;
}

bool DataFile::Commit() {
    if (!replacing_) {
        return true;
    }
    if (rename(platform::Utf8FromAnsi(ReplacementPath(path_)).c_str(), platform::Utf8FromAnsi(path_).c_str()) != 0) {
        error_ = errno;
        return false;
    }
    replacing_ = false;
    // The rename is on the disk before the task is recorded as finished.
    platform::UniqueFd folder(
        open(platform::Utf8FromAnsi(std::string(FolderOfPath(path_))).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (folder.valid()) {
        fsync(folder.get());
    }
    return true;
}

void DataFile::Abandon() {
    if (!replacing_) {
        return;
    }
    unlink(platform::Utf8FromAnsi(ReplacementPath(path_)).c_str());
    fd_.Close();
    replacing_ = false;
    count_ = keptCount_;
}

std::string DataFile::WrittenPath() const {
    return replacing_ ? ReplacementPath(path_) : path_;
}

DataFile::PutResult DataFile::PutAt(Cursor& cursor, const char* data, size_t bytes) {
    while (bytes > 0 && cursor.writePos < cursor.compareEnd) {
        // Blocks follow the file's pages: a power cut loses whole pages of write-back.
        auto blockLength = static_cast<size_t>(
            std::min(cursor.compareEnd, (cursor.blockStart / kBlockBytes + 1) * kBlockBytes) - cursor.blockStart);
        size_t take = std::min(bytes, blockLength - cursor.block.size());
        cursor.block.append(data, take);
        data += take;
        bytes -= take;
        cursor.writePos += static_cast<int64_t>(take);
        if (cursor.block.size() == blockLength) {
            if (!CompareBlock(cursor)) {
                return cursor.mismatchAt >= 0 ? PutResult::Mismatch : PutResult::Failed;
            }
            cursor.blockStart += static_cast<int64_t>(blockLength);
            cursor.block.clear();
        }
    }
    if (bytes == 0) {
        return PutResult::Ok;
    }
    if (!WriteAt(data, bytes, cursor.writePos)) {
        return PutResult::Failed;
    }
    cursor.writePos += static_cast<int64_t>(bytes);
    // Write-back starts as the bytes come, however many answers write them, so the syncs that claim
    // them have little left to wait for.
    unsentBytes_ += static_cast<int64_t>(bytes);
    if (unsentBytes_ >= kWriteBackBytes) {
        sync_file_range(fd_.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
        unsentBytes_ = 0;
    }
    return PutResult::Ok;
}

bool DataFile::CompareBlock(Cursor& cursor) {
    char disk[kBlockBytes];
    std::string& block = cursor.block;
    ssize_t got = pread(fd_.get(), disk, block.size(), cursor.blockStart);
    if (got < 0) {
        error_ = errno;
        return false;
    }
    // What the disk never got reads as zeros, as a block that a power cut kept from the disk does.
    std::memset(disk + got, 0, block.size() - static_cast<size_t>(got));
    if (std::memcmp(disk, block.data(), block.size()) == 0) {
        return true;
    }
    if (AllZero(disk, block.size())) {
        return WriteAt(block.data(), block.size(), cursor.blockStart);
    }
    cursor.mismatchAt = cursor.blockStart;
    return false;
}

// A reservation that fails leaves the disk as it found it.
DataFile::ReserveResult DataFile::Reserve(int64_t size) {
    struct stat before {};
    if (fstat(fd_.get(), &before) != 0) {
        error_ = errno;
        return ReserveResult::Unsupported;
    }
    // ext4 keeps what a refused fallocate got, so one that cannot fit is not tried.
    int64_t missing = size - static_cast<int64_t>(before.st_blocks) * 512;
    struct statvfs disk {};
    if (missing > 0 && fstatvfs(fd_.get(), &disk) == 0 &&
        missing > static_cast<int64_t>(disk.f_bavail) * static_cast<int64_t>(disk.f_frsize)) {
        return ReserveResult::NoRoom;
    }
    std::vector<std::pair<off_t, off_t>> holes = Holes(fd_.get(), before.st_size);
    // Mode 0 allocates what is missing and keeps every byte there; no fallback writes zeros.
    while (fallocate(fd_.get(), 0, 0, size) != 0) {
        int error = errno;
        if (error == EINTR) {
            continue;
        }
        // What it took is given back: the file's old end and its holes.
        if (Size() > before.st_size) {
            (void)ftruncate(fd_.get(), before.st_size);
        }
        for (auto [start, end] : holes) {
            (void)fallocate(fd_.get(), FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, start, end - start);
        }
        return error == ENOSPC || error == EDQUOT || error == EFBIG ? ReserveResult::NoRoom
                                                                    : ReserveResult::Unsupported;
    }
    return ReserveResult::Reserved;
}

bool DataFile::WriteAt(const char* data, size_t bytes, int64_t offset) {
    while (bytes > 0) {
        ssize_t written = pwrite(fd_.get(), data, bytes, offset);
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            error_ = errno;
            return false;
        }
        data += written;
        bytes -= static_cast<size_t>(written);
        offset += written;
    }
    return true;
}

bool DataFile::InPlace() const {
    struct stat opened {};
    struct stat named {};
    if (fstat(fd_.get(), &opened) != 0 || opened.st_nlink == 0) {
        return false;
    }
    return stat(platform::Utf8FromAnsi(WrittenPath()).c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
           named.st_ino == opened.st_ino;
}

int64_t DataFile::Size() const {
    struct stat info {};
    return fstat(fd_.get(), &info) == 0 ? static_cast<int64_t>(info.st_size) : 0;
}

bool DataFile::Sync() {
    if (fdatasync(fd_.get()) != 0) {
        error_ = errno;
        return false;
    }
    return true;
}

bool DataFile::CutTo(int64_t size) {
    if (Size() > size && ftruncate(fd_.get(), size) != 0) {
        error_ = errno;
        return false;
    }
    count_ = std::min(count_, size);
    return true;
}

bool DataFile::Close() {
    if (!fd_.Close()) {
        error_ = errno;
        return false;
    }
    return true;
}

}  // namespace tarvane
