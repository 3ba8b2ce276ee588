#include "tarvane/engine/finished_file_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "platform/codepage.h"
#include "platform/unique_fd.h"

namespace tarvane {

namespace {

constexpr std::size_t kBlock = 1 << 20;

ArchiveVerdict CheckDigestOnly(const std::string& path, const ExpectedDigest& digest, const std::atomic<bool>& stop,
                               const ArchiveCheck::Progress& progress) {
    platform::UniqueFd fd(::open(platform::Utf8FromAnsi(path).c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (!fd.valid() || ::fstat(fd.get(), &info) != 0) {
        return ArchiveVerdict::Untestable;
    }
    DigestMatcher matcher(digest);
    std::vector<unsigned char> buffer(kBlock);
    std::int64_t done = 0;
    for (;;) {
        if (stop.load()) {
            return ArchiveVerdict::Stopped;
        }
        ssize_t got = ::pread(fd.get(), buffer.data(), buffer.size(), done);
        if (got < 0) {
            return ArchiveVerdict::Untestable;
        }
        if (got == 0) {
            break;
        }
        matcher.Update(buffer.data(), static_cast<std::size_t>(got));
        done += got;
        if (progress) {
            progress(done, info.st_size);
        }
    }
    return matcher.Matches() ? ArchiveVerdict::Good : ArchiveVerdict::Damaged;
}

}  // namespace

bool NeedsFinishedCheck(std::string_view type, const ExpectedDigest& digest) {
    return IsCheckedArchiveType(type) || digest.kind != ExpectedDigest::Kind::None;
}

ArchiveVerdict CheckFinishedFile(const std::string& path, std::string_view type, const ExpectedDigest& digest,
                                 const std::atomic<bool>& stop, const ArchiveCheck::Progress& progress) {
    if (IsCheckedArchiveType(type)) {
        return ArchiveCheck(path, digest).Run(stop, progress);
    }
    if (digest.kind == ExpectedDigest::Kind::None) {
        return ArchiveVerdict::Good;
    }
    return CheckDigestOnly(path, digest, stop, progress);
}

}  // namespace tarvane
