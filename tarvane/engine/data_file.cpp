#include "tarvane/engine/data_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "platform/codepage.h"

namespace tarvane {

namespace {

bool AllZero(const char* data, size_t bytes) {
    return std::all_of(data, data + bytes, [](char c) { return c == 0; });
}

}  // namespace

void DataFile::Adopt(platform::UniqueFd fd, std::string path, int64_t count) {
    fd_ = std::move(fd);
    path_ = std::move(path);
    count_ = count;
    ContinueAt(count);
}

void DataFile::ContinueAt(int64_t offset) {
    startOver_ = false;
    answerOffset_ = writePos_ = blockStart_ = writeBackFrom_ = std::clamp<int64_t>(offset, 0, count_);
    compareEnd_ = count_;
    block_.clear();
    mismatchAt_ = -1;
}

void DataFile::StartOver() {
    startOver_ = true;
    answerOffset_ = writePos_ = blockStart_ = compareEnd_ = writeBackFrom_ = 0;
    block_.clear();
}

bool DataFile::Accept() {
    if (!startOver_) {
        return true;
    }
    // Only a file with bytes in it is cut: ext4 flushes a file truncated to nothing when it is closed,
    // which would cost a fresh download its whole write-back.
    if (Size() > 0 && ftruncate(fd_.get(), 0) != 0) {
        error_ = errno;
        return false;
    }
    startOver_ = false;
    count_ = 0;
    return true;
}

DataFile::PutResult DataFile::Put(const char* data, size_t bytes) {
    while (bytes > 0 && writePos_ < compareEnd_) {
        // Blocks follow the file's pages: a power cut loses whole pages of write-back.
        auto blockLength =
            static_cast<size_t>(std::min(compareEnd_, (blockStart_ / kBlockBytes + 1) * kBlockBytes) - blockStart_);
        size_t take = std::min(bytes, blockLength - block_.size());
        block_.append(data, take);
        data += take;
        bytes -= take;
        writePos_ += static_cast<int64_t>(take);
        if (block_.size() == blockLength) {
            if (!CompareBlock()) {
                return mismatchAt_ >= 0 ? PutResult::Mismatch : PutResult::Failed;
            }
            blockStart_ += static_cast<int64_t>(blockLength);
            block_.clear();
        }
    }
    if (bytes == 0) {
        return PutResult::Ok;
    }
    if (!WriteAt(data, bytes, writePos_)) {
        return PutResult::Failed;
    }
    writePos_ += static_cast<int64_t>(bytes);
    count_ = std::max(count_, writePos_);
    // Write-back starts as the bytes come, so the syncs that claim them have little left to wait for.
    if (writePos_ - writeBackFrom_ >= kWriteBackBytes) {
        sync_file_range(fd_.get(), writeBackFrom_, writePos_ - writeBackFrom_, SYNC_FILE_RANGE_WRITE);
        writeBackFrom_ = writePos_;
    }
    return PutResult::Ok;
}

bool DataFile::CompareBlock() {
    char disk[kBlockBytes];
    ssize_t got = pread(fd_.get(), disk, block_.size(), blockStart_);
    if (got < 0) {
        error_ = errno;
        return false;
    }
    // What the disk never got reads as zeros, as a block that a power cut kept from the disk does.
    std::memset(disk + got, 0, block_.size() - static_cast<size_t>(got));
    if (std::memcmp(disk, block_.data(), block_.size()) == 0) {
        return true;
    }
    if (AllZero(disk, block_.size())) {
        return WriteAt(block_.data(), block_.size(), blockStart_);
    }
    mismatchAt_ = blockStart_;
    return false;
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
    return stat(platform::Utf8FromAnsi(path_).c_str(), &named) == 0 && named.st_dev == opened.st_dev &&
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
