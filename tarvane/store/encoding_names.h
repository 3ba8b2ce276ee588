#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace tarvane {

// One row of the encoding name table: a lower-case name and the Windows code page it stands for.
struct EncodingName {
    std::string_view name;
    unsigned codePage;
};

// What CodePageOfEncoding answers for a name it does not know, or one iconv cannot convert.
inline constexpr unsigned kUnrecognisedEncoding = 0;
// A name beginning with "UTF-32" (in that letter case) stands for UTF-32 as a code of its own,
// outside the table.
inline constexpr unsigned kUtf32Encoding = 1;

inline constexpr std::size_t kEncodingBucketCount = 155;

// The whole table, grouped by bucket.
std::span<const EncodingName> AllEncodingNames();
// The bucket of a lower-case name: the sum of its bytes modulo kEncodingBucketCount.
std::size_t EncodingBucketOf(std::string_view lowerCaseName);
// The rows stored in one bucket, in table order.
std::span<const EncodingName> EncodingBucket(std::size_t bucket);

// The code page an encoding name denotes: the ANSI code page for the empty name,
// kUtf32Encoding, a code page of the table, or kUnrecognisedEncoding.
unsigned CodePageOfEncoding(std::string_view name);

// The code page that carries out conversions for a code from CodePageOfEncoding.
unsigned ConversionCodePage(unsigned code);

// Whether two names denote different encodings. An unrecognised name equals every other name,
// so no conversion is made for it.
bool EncodingsDiffer(std::string_view first, std::string_view second);

// Converts bytes from one code page to another, as platform::ConvertCodePage does, with the same
// result and loss flag. Between UTF-8 and code page 936, which both keep ASCII as it is, only the
// runs of other bytes go through the converter (all of them in one call), which makes large
// mostly-ASCII texts several times faster.
std::string ConvertBetweenCodePages(unsigned fromCodePage, unsigned toCodePage, std::string_view bytes,
                                    bool* usedDefaultChar = nullptr);

}  // namespace tarvane
