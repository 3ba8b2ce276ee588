#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "tarvane/engine/unpack/unpack_limits.h"

namespace tarvane {

enum class UnpackOutcome {
    Done,           // the game folder is in place
    Stopped,        // the stop flag was raised; nothing under the game's name
    NotArchive,     // not an archive the reader knows: nothing to do
    PartMissing,    // a set whose part `missingPart` is not in the folder yet
    UnsafePath,     // "压缩包中有不安全的路径"
    NoRoom,         // "解压所需空间不足"
    Bomb,           // "压缩包疑似恶意（解压后过大）"
    NeedPassword,   // "需要密码"
    WrongPassword,  // "密码错误"
    Damaged,        // the archive could not be read to its end
    WriteFailed,    // the staging folder could not be written or put in place
};

struct UnpackRequest {
    std::string archivePath;  // the finished file, code page 936; a set's part: any of its parts
    std::string gameName;     // the task's name: the folder's name, beside the archive
    std::string password;     // empty: none given yet
    // Whether an existing folder of the game's name is this task's own from an earlier run (it is
    // then replaced, otherwise "NAME (2)"... is used).
    std::function<bool(const std::string& folder)> ownsFolder;
    // Bytes of the archive (all parts) read so far and their total.
    std::function<void(std::int64_t read, std::int64_t total)> progress;
    // Whether a part of a set in the folder (code page 936 path) is whole rather than still being
    // downloaded; unset: every part there is.
    std::function<bool(const std::string& part)> partReady;
    UnpackLimits limits{};
};

struct UnpackResult {
    UnpackOutcome outcome = UnpackOutcome::Damaged;
    std::string folder;              // the game folder when Done, code page 936
    std::string missingPart;         // the file name of the first missing part when PartMissing
    std::vector<std::string> parts;  // the parts read, when Done, code page 936
};

// Whether the file (by its name) is an archive the unpacker reads, or a part of such a set.
bool IsUnpackableArchive(std::string_view fileName);
// Whether the file's name alone makes it a numbered part of a set (".7z.001", ".part2.rar", ".z01"...).
bool IsNumberedPart(std::string_view fileName);

// Unpacks a finished archive into a hidden staging folder beside it, then renames the staging
// folder to the game's folder. Runs on the caller's thread; never touches the archive.
UnpackResult UnpackGame(const UnpackRequest& request, const std::atomic<bool>& stop);

// A staging folder left by a kill beside `archivePath`: removed; answers whether one was there.
bool RemoveStaleStaging(const std::string& archivePath);

// The failure text of an outcome, code page 936 (empty for Done, Stopped and NotArchive).
std::string UnpackFailureText(const UnpackResult& result);

}  // namespace tarvane
