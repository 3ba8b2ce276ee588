#pragma once

#include <string>

namespace tarvane {

// A task file that could not be read and was set aside.
struct SetAsideFile {
    std::string file;          // the task file (code page 936 path)
    std::string setAsideAs;    // the name the damaged file now has beside it; empty when it was removed
    int itemsCarriedOver = 0;  // the items the fresh file holds
};

// Renames a damaged file beside itself, to "download.xml.damaged-20261207-103000" (or with "-2",
// "-3"... when that name is taken). The new name, or empty when the file could not be renamed.
std::string SetFileAside(const std::string& file);

}  // namespace tarvane
