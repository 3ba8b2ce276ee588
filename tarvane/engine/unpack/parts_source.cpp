#include "tarvane/engine/unpack/parts_source.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>

namespace tarvane {

PartsSource::PartsSource(const std::atomic<bool>& stop, Progress progress)
    : stop_(stop), progress_(std::move(progress)), buffer_(kLargest) {}

bool PartsSource::Open(const std::vector<std::string>& utf8Paths) {
    starts_.assign(1, 0);
    for (const std::string& path : utf8Paths) {
        platform::UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
        struct stat info {};
        if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
            return false;
        }
        fds_.push_back(std::move(fd));
        starts_.push_back(starts_.back() + info.st_size);
    }
    size_ = starts_.back();
    return !fds_.empty();
}

void PartsSource::Attach(archive* a) {
    archive_read_set_read_callback(
        a, [](archive*, void* self, const void** block) { return static_cast<PartsSource*>(self)->Read(block); });
    archive_read_set_seek_callback(a, [](archive*, void* self, la_int64_t offset, int whence) {
        return static_cast<PartsSource*>(self)->Seek(offset, whence);
    });
    archive_read_set_callback_data(a, this);
}

la_ssize_t PartsSource::Read(const void** block) {
    if (stopped()) {
        return -1;
    }
    if (position_ >= size_) {
        return 0;
    }
    // The part that holds the position; a read never crosses into the next one.
    std::size_t part =
        static_cast<std::size_t>(std::upper_bound(starts_.begin(), starts_.end(), position_) - starts_.begin() - 1);
    std::int64_t inPart = position_ - starts_[part];
    std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(chunk_, starts_[part + 1] - position_));
    ssize_t got = ::pread(fds_[part].get(), buffer_.data(), want, inPart);
    if (got <= 0) {
        return -1;  // a part shorter than at the start: changed under us
    }
    position_ += got;
    chunk_ = std::min(chunk_ * 2, kLargest);
    // The directory at the end is read first; counting bytes read, not the position, keeps the
    // progress moving with the work.
    readSoFar_ += got;
    if (progress_ && report_) {
        progress_(std::min(readSoFar_, size_), size_);
    }
    *block = buffer_.data();
    return got;
}

la_int64_t PartsSource::Seek(la_int64_t offset, int whence) {
    std::int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? position_ : size_;
    if (base + offset < 0) {
        return ARCHIVE_FATAL;
    }
    position_ = base + offset;
    chunk_ = kSmallest;
    return position_;
}

}  // namespace tarvane
