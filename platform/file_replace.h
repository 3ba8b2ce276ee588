#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The whole content of a file (path in UTF-8). `missing` tells a file that does not exist apart from
// one that could not be read; both give nothing.
std::optional<std::string> ReadWholeFile(const std::string& utf8Path, bool* missing = nullptr);

// Writes all of `bytes`, however many calls it takes; false with errno set on failure.
bool WriteAll(int fd, std::string_view bytes);

// The file a path names once symbolic links are followed; the path itself when it is no link or
// the link leads nowhere.
std::string FollowLink(const std::string& utf8Path);

struct ReplaceOptions {
    // Path of the temporary file, ending in "XXXXXX"; empty: ".<name>.XXXXXX" beside the file.
    std::string temporaryTemplate;
    // Mode of the new file; unset: an existing file's mode (and owner where allowed), else 0600.
    std::optional<unsigned> mode;
    // Syncs the folder after the rename, so that the new name itself survives a power loss.
    bool syncFolder = true;
    // Links the temporary file to the name instead of renaming it, so a file that exists meanwhile is
    // kept; that counts as done.
    bool createOnly = false;
};

// Replaces a file (UTF-8 path, no links followed) so that readers see either the old or the new bytes,
// never a part: `fill` writes a temporary file in the same folder, which is flushed to disk and renamed
// over the file. 0 when done, else the errno of the step that failed, with the old file untouched.
int ReplaceFile(const std::string& utf8Path, const std::function<bool(int fd)>& fill,
                const ReplaceOptions& options = {});

// ReplaceFile with `bytes` for a file as the user sees it: a symbolic link is followed, so the file it
// names is replaced, and a file without write permission is not replaced. False on any failure, with
// errno set to its cause.
bool ReplaceFileContents(const std::string& utf8Path, std::string_view bytes);

}  // namespace platform
