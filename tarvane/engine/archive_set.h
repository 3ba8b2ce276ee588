#pragma once

#include <string>
#include <vector>

namespace tarvane {

// The same for every part of one set in parts (".part1.rar"..., ".7z.001"..., ".zip" with ".z01"...,
// ".rar" with ".r00"...), else the path itself. Code page 936.
std::string ArchiveSetKey(const std::string& archivePath);

// The files in the archive's folder that belong to its set, the archive among them; just the
// archive when it is no part of a set.
std::vector<std::string> ArchiveSetParts(const std::string& archivePath);

}  // namespace tarvane
