#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tarvane::test {

// An archive in `format` ("zip" or "7z"), made in memory by libarchive's writer, of (name, bytes)
// entries. Rar cannot be made with free tools, so tests have none.
std::string MakeArchive(const std::string& format, const std::vector<std::pair<std::string, std::string>>& entries);

// The value of a "Repr-Digest" header for `bytes`: "sha-256=:BASE64:".
std::string ReprDigest(const std::string& bytes);

}  // namespace tarvane::test
