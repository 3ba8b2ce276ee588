#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The whole content of a file (path in UTF-8). `missing` tells a file that does not exist apart from
// one that could not be read; both give nothing.
std::optional<std::string> ReadWholeFile(const std::string& utf8Path, bool* missing = nullptr);

// Replaces the content of a file so that readers see either the old or the new bytes, never a part:
// the bytes go to a temporary file in the same folder, which is flushed to disk and renamed over the
// file. An existing file keeps its mode (and owner where allowed); a new one is readable by its user
// only; a file without write permission is not replaced. A symbolic link is followed, so the file it names is replaced.
// False on any failure, with the old file untouched.
bool ReplaceFileContents(const std::string& utf8Path, std::string_view bytes);

}  // namespace platform
