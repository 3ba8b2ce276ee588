#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/unique_fd.h"

namespace tarvane {

// The data file of one running task: what is on disk already and where the next attempt begins. An
// answer that goes on from the disk first runs over bytes the file holds: those are compared with the
// disk in blocks, never written blindly, so an answer that is not this file's continuation cannot mix
// into it. A start over is only planned until an answer is accepted: the bytes on disk stay until
// something better has arrived. A file with bytes is not cut by a start over: the new file is written
// beside it (ReplacementPath) and renamed over it once it is whole and checked.
class DataFile {
public:
    static constexpr int64_t kBlockBytes = 4096;
    static constexpr int64_t kWriteBackBytes = 8 * 1024 * 1024;

    enum class PutResult { Ok, Mismatch, Failed };
    enum class ReserveResult { Reserved, NoRoom, Unsupported };

    // Where one answer's bytes go: those below `compareEnd` are compared with the disk, the rest written.
    struct Cursor {
        int64_t writePos = 0;
        int64_t compareEnd = 0;
        int64_t blockStart = 0;
        std::string block;  // bytes of the block being gathered for the compare
        int64_t mismatchAt = -1;

        static Cursor At(int64_t offset, int64_t compareEnd);
        // Another answer has brought the bytes up to `end` meanwhile: this one compares them too.
        void CompareTo(int64_t end) {
            if (end <= compareEnd) {
                return;
            }
            if (writePos >= compareEnd) {
                blockStart = writePos;
                block.clear();
            }
            compareEnd = end;
        }
    };

    // Takes the open file at `path` (code page 936), of which the first `count` bytes are known good.
    void Adopt(platform::UniqueFd fd, std::string path, int64_t count);
    bool IsOpen() const { return fd_.valid(); }
    const std::string& path() const { return path_; }

    // The next attempt goes on at `offset` (at most the count): bytes before the count are compared.
    void ContinueAt(int64_t offset);
    // The next accepted answer replaces the whole file.
    void StartOver();
    bool StartOverPlanned() const { return startOver_; }
    // Where the next attempt begins.
    int64_t AnswerOffset() const { return answerOffset_; }
    // An answer passed its checks: a planned start over begins the new file now, reserved at `size`
    // (-1: unknown), beside a file that has bytes. False when it cannot, or when the new file has no
    // room beside the old (the error is then ENOSPC).
    bool Accept(int64_t size);
    // Whether the bytes go to a new file beside the task's, which stays as it was until Commit.
    bool Replacing() const { return replacing_; }
    // Whether a planned start over would write beside bytes the task's file holds.
    bool WouldReplace() const { return startOver_ && (replacing_ || Size() > 0); }
    // The count of the task's own file, also while a new one is written beside it.
    int64_t HeldCount() const { return replacing_ ? keptCount_ : count_; }
    // The new file, whole and checked, takes the task's file's place; false when it cannot.
    bool Commit();
    // The new file is thrown away; the task's file and its count are as they were.
    void Abandon();
    // An answer's next bytes at the cursor's place; the count is the caller's.
    PutResult PutAt(Cursor& cursor, const char* data, size_t bytes);
    // The whole file is reserved on the disk before its first byte; never by writing it.
    ReserveResult Reserve(int64_t size);
    // The bytes from the start without a gap, as the answers that fill the file side by side found them.
    void SetCount(int64_t count) { count_ = count; }

    // Bytes from the start of the file on disk without a gap, of the version the task knows.
    int64_t Count() const { return count_; }
    // The errno of the last failed write, read or sync.
    int Error() const { return error_; }

    // The file the bytes are written to: the task's, or the new one beside it.
    std::string WrittenPath() const;
    // Whether the file is still the one at its path (not removed or replaced meanwhile).
    bool InPlace() const;
    int64_t Size() const;
    // The bytes written so far are on the disk.
    bool Sync();
    // Cuts what lies beyond `size` (a longer file than the server's is no use past its end).
    bool CutTo(int64_t size);
    bool Close();

private:
    bool CompareBlock(Cursor& cursor);
    bool WriteAt(const char* data, size_t bytes, int64_t offset);

    platform::UniqueFd fd_;
    std::string path_;
    int64_t count_ = 0;
    int64_t answerOffset_ = 0;
    int64_t unsentBytes_ = 0;  // written since write-back was last started
    bool startOver_ = false;
    bool replacing_ = false;
    int64_t keptCount_ = 0;
    int error_ = 0;
};

// Where the new file of a start over is written beside the data file at `path`: hidden, so that it is
// never taken for a download, and of a name that the next start of the task recognises and removes.
std::string ReplacementPath(const std::string& path);

}  // namespace tarvane
