#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tarvane/store/xml_result_log.h"

namespace tarvane {

// The encoding marks a document carries from a load to the following save.
struct XmlEncodingFlags {
    bool utf16LittleEndian = false;
    bool utf8Mark = false;
    bool utf16BigEndian = false;
};

// Reads a whole file into `text` (code page 936), following its byte-order mark, declared
// encoding or undeclared UTF-8. On success stores the marks found into `flags`.
bool ReadXmlFile(const std::string& path, XmlEncodingFlags& flags, std::string& text, XmlResultLog& log);

// A save writes a temporary file named after the file, this suffix and six more characters, then
// renames it over the file. A process killed before the rename leaves it behind.
inline constexpr char kSaveTemporarySuffix[] = ".tmp-";
inline constexpr std::size_t kSaveTemporaryUniqueLength = 6;

// Writes `text` (code page 936) in the file's encoding. Never truncates the old file first: the
// bytes go to a temporary file beside it that replaces the old one only once complete.
bool WriteXmlFile(const std::string& path, std::string_view text, const XmlEncodingFlags& flags, XmlResultLog& log);

// The encoding a text declares (XML declaration, else an HTML meta charset), or empty.
std::string DeclaredEncoding(std::string_view text);

}  // namespace tarvane
