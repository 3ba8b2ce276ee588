#include "tarvane/store/encoding_names.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/codepage.h"

namespace tarvane {
namespace {

// Names longer than this are never looked up.
constexpr std::size_t kMaxNameLength = 99;

// One line per code page.
// clang-format off
constexpr EncodingName kTable[] = {
    {"cp154", 154}, {"csptcp154", 154}, {"cyrillic-asian", 154}, {"pt154", 154}, {"ptcp154", 154},
    {"codepage437", 437}, {"cp437", 437}, {"cspc8", 437}, {"cspc8codepage437", 437}, {"ibm437", 437},
    {"asmo-708", 708},
    {"dos-720", 720},
    {"cp737", 737}, {"ibm737", 737},
    {"cp500", 775}, {"cp775", 775}, {"csibm500", 775}, {"cspc775baltic", 775}, {"ebcdic-cp-be", 775}, {"ebcdic-cp-ch", 775}, {"ibm775", 775},
    {"cp850", 850}, {"cspc850multilingual", 850}, {"ibm850", 850},
    {"cp852", 852}, {"cspcp852", 852}, {"ibm852", 852},
    {"cp853", 853},
    {"cp855", 855}, {"csibm855", 855}, {"ibm855", 855},
    {"cp857", 857}, {"csibm857", 857}, {"ibm857", 857},
    {"ccsid00858", 858}, {"cp00858", 858}, {"cp858", 858}, {"ibm00858", 858}, {"pc-multilingual-850+euro", 858},
    {"cp860", 860}, {"csibm860", 860}, {"ibm860", 860},
    {"cp-is", 861}, {"cp861", 861}, {"csibm861", 861}, {"ibm861", 861},
    {"cp862", 862}, {"cspc862latinhebrew", 862}, {"dos-862", 862}, {"ibm862", 862},
    {"cp863", 863}, {"csibm863", 863}, {"ibm863", 863},
    {"cp864", 864}, {"csibm864", 864}, {"ibm864", 864},
    {"cp865", 865}, {"csibm865", 865}, {"ibm865", 865},
    {"cp866", 866}, {"csibm866", 866}, {"ibm866", 866},
    {"cp-gr", 869}, {"cp869", 869}, {"csibm869", 869}, {"ibm869", 869},
    {"cp874", 874}, {"dos-874", 874}, {"iso-8859-11", 874}, {"tis-620", 874}, {"windows-874", 874},
    {"cp932", 932}, {"csshiftjis", 932}, {"cswindows31j", 932}, {"ms932", 932}, {"ms_kanji", 932}, {"shifft_jis", 932}, {"shifft_jis-ms", 932}, {"shift-jis", 932}, {"shift_jis", 932}, {"sjis", 932}, {"sjis-ms", 932}, {"sjis-open", 932}, {"sjis-win", 932}, {"windows-31j", 932}, {"windows-932", 932}, {"x-ms-cp932", 932}, {"x-sjis", 932},
    {"chinese", 936}, {"cn-gb", 936}, {"cp936", 936}, {"csgb2312", 936}, {"csgb231280", 936}, {"csiso58gb231280", 936}, {"gb2312", 936}, {"gb2312-80", 936}, {"gb231280", 936}, {"gb_2312-80", 936}, {"gbk", 936}, {"iso-ir-58", 936}, {"ms936", 936}, {"windows-936", 936},
    {"cp949", 949}, {"csksc56011987", 949}, {"iso-ir-149", 949}, {"korean", 949}, {"ks-c-5601", 949}, {"ks-c5601", 949}, {"ks_c_5601", 949}, {"ks_c_5601-1987", 949}, {"ks_c_5601-1989", 949}, {"ks_c_5601_1987", 949}, {"ksc5601", 949}, {"ksc_5601", 949}, {"uhc", 949},
    {"big5", 950}, {"big5-hkscs", 950}, {"cn-big5", 950}, {"cp950", 950}, {"csbig5", 950}, {"x-x-big5", 950},
    {"cp1125", 1125},
    {"cp1133", 1133}, {"ibm-cp1133", 1133},
    {"cp1200", 1200}, {"ucs-2", 1200}, {"ucs-2le", 1200}, {"unicode", 1200}, {"utf-16", 1200}, {"utf-16le", 1200}, {"utf16", 1200}, {"utf16le", 1200},
    {"cp1201", 1201}, {"ucs-2be", 1201}, {"unicodefffe", 1201}, {"utf-16be", 1201}, {"utf16be", 1201},
    {"cp1250", 1250}, {"ms-ee", 1250}, {"windows-1250", 1250}, {"x-cp1250", 1250},
    {"cp1251", 1251}, {"ms-cyrl", 1251}, {"windows-1251", 1251}, {"x-cp1251", 1251},
    {"cp1252", 1252}, {"ms-ansi", 1252}, {"windows-1252", 1252}, {"x-ansi", 1252},
    {"cp1253", 1253}, {"ms-greek", 1253}, {"windows-1253", 1253},
    {"cp1254", 1254}, {"ms-turk", 1254}, {"windows-1254", 1254},
    {"cp1255", 1255}, {"ms-hebr", 1255}, {"windows-1255", 1255},
    {"cp1256", 1256}, {"cp1256 ", 1256}, {"ms-arab", 1256}, {"windows-1256", 1256},
    {"cp1257", 1257}, {"winbaltrim", 1257}, {"windows-1257", 1257},
    {"cp1258", 1258}, {"windows-1258", 1258},
    {"cp1361", 1361}, {"johab", 1361},
    {"csmacintosh", 10000}, {"mac", 10000}, {"macintosh", 10000},
    {"x-mac-japanese", 10001},
    {"x-mac-chinesetrad", 10002},
    {"x-mac-korean", 10003},
    {"x-mac-arabic", 10004},
    {"x-mac-hebrew", 10005},
    {"x-mac-greek", 10006},
    {"x-mac-cyrillic", 10007},
    {"x-mac-chinesesimp", 10008},
    {"x-mac-romanian", 10010},
    {"x-mac-ukrainian", 10017},
    {"x-mac-thai", 10021},
    {"x-mac-ce", 10029},
    {"x-mac-icelandic", 10079},
    {"x-mac-turkish", 10081},
    {"x-mac-croatian", 10082},
    {"cp12000", 12000}, {"utf-32", 12000}, {"utf-32le", 12000}, {"utf32", 12000}, {"utf32le", 12000},
    {"cp12001", 12001}, {"utf-32be", 12001}, {"utf32be", 12001},
    {"x-chinese-cns", 20000}, {"x-chinese_cns", 20000},
    {"x-cp20001", 20001},
    {"x-chinese-eten", 20002}, {"x_chinese-eten", 20002},
    {"x-cp20003", 20003},
    {"x-cp20004", 20004},
    {"x-cp20005", 20005},
    {"x-ia5", 20105},
    {"x-ia5-german", 20106},
    {"x-ia5-swedish", 20107},
    {"x-ia5-norwegian", 20108},
    {"ansi_x3.4-1968", 20127}, {"ansi_x3.4-1986", 20127}, {"ascii", 20127}, {"cp367", 20127}, {"csascii", 20127}, {"ibm367", 20127}, {"iso-ir-6", 20127}, {"iso-ir-6us", 20127}, {"iso646-us", 20127}, {"iso_646.irv:1991", 20127}, {"us", 20127}, {"us-ascii", 20127},
    {"x-cp20261", 20261},
    {"x-cp20269", 20269},
    {"cskoi8r", 20866}, {"koi", 20866}, {"koi8", 20866}, {"koi8-r", 20866}, {"koi8r", 20866},
    {"cseucpkdfmtjapanese", 20932}, {"euc-jp", 20932}, {"extended_unix_code_packed_format_for_japanese", 20932},
    {"x-cp20936", 20936},
    {"x-cp20949", 20949},
    {"koi8-ru", 21866}, {"koi8-u", 21866},
    {"cp819", 28591}, {"csisolatin1", 28591}, {"ibm819", 28591}, {"iso-8859-1", 28591}, {"iso-ir-100", 28591}, {"iso8859-1", 28591}, {"iso_8859-1", 28591}, {"iso_8859-1:1987", 28591}, {"l1", 28591}, {"latin1", 28591},
    {"csisolatin2", 28592}, {"iso-8859-2", 28592}, {"iso-ir-101", 28592}, {"iso8859-2", 28592}, {"iso_8859-2", 28592}, {"iso_8859-2:1987", 28592}, {"l2", 28592}, {"latin2", 28592},
    {"csisolatin3", 28593}, {"iso-8859-3", 28593}, {"iso-ir-109", 28593}, {"iso8859-3", 28593}, {"iso_8859-3", 28593}, {"iso_8859-3:1988", 28593}, {"l3", 28593}, {"latin3", 28593},
    {"csisolatin4", 28594}, {"iso-8859-4", 28594}, {"iso-ir-110", 28594}, {"iso8859-4", 28594}, {"iso_8859-4", 28594}, {"iso_8859-4:1988", 28594}, {"l4", 28594}, {"latin4", 28594},
    {"csisolatin5", 28595}, {"csisolatincyrillic", 28595}, {"cyrillic", 28595}, {"iso-8859-5", 28595}, {"iso-ir-144", 28595}, {"iso8859-5", 28595}, {"iso_8859-5", 28595}, {"iso_8859-5:1988", 28595},
    {"arabic", 28596}, {"csisolatinarabic", 28596}, {"ecma-114", 28596}, {"iso-8859-6", 28596}, {"iso-ir-127", 28596}, {"iso8859-6", 28596}, {"iso_8859-6", 28596}, {"iso_8859-6:1987", 28596},
    {"csisolatingreek", 28597}, {"ecma-118", 28597}, {"elot_928", 28597}, {"greek", 28597}, {"greek8", 28597}, {"iso-8859-7", 28597}, {"iso-ir-126", 28597}, {"iso8859-7", 28597}, {"iso_8859-7", 28597}, {"iso_8859-7:1987", 28597},
    {"csisolatinhebrew", 28598}, {"hebrew", 28598}, {"iso-8859-8", 28598}, {"iso-ir-138", 28598}, {"iso8859-8", 28598}, {"iso_8859-8", 28598}, {"iso_8859-8:1988", 28598}, {"visual", 28598},
    {"iso-8859-9", 28599}, {"iso-ir-148", 28599}, {"iso8859-9", 28599}, {"iso_8859-9", 28599}, {"iso_8859-9:1989", 28599}, {"l5", 28599}, {"latin5", 28599},
    {"iso-8859-13", 28603}, {"iso8859-13", 28603},
    {"iso-8859-15", 28605}, {"iso8859-15", 28605}, {"iso_8859-15", 28605}, {"l9", 28605}, {"latin-9", 28605}, {"latin9", 28605},
    {"x-europa", 29001},
    {"iso-8859-8-i", 38598}, {"iso8859-8-i", 38598}, {"logical", 38598},
    {"iso-2022-jp", 50220},
    {"_iso-2022-jp", 50221}, {"cp50221", 50221}, {"csiso2022jp", 50221}, {"iso-2022-jp-ms", 50221}, {"iso2022-jp-ms", 50221}, {"ms50221", 50221}, {"windows-50221", 50221},
    {"_iso-2022-jp$sio", 50222},
    {"csiso2022kr", 50225}, {"iso-2022-kr", 50225}, {"iso2022-kr", 50225},
    {"x-cp50227", 50227},
    {"cp51932", 51932}, {"ms51932", 51932}, {"windows-51932", 51932}, {"x-euc", 51932}, {"x-euc-jp", 51932},
    {"euc-cn", 51936}, {"x-euc-cn", 51936},
    {"cseuckr", 51949}, {"euc-kr", 51949},
    {"hz-gb-2312", 52936},
    {"gb18030", 54936}, {"iso-4873:1986", 54936},
    {"x-iscii-de", 57002},
    {"x-iscii-be", 57003},
    {"x-iscii-ta", 57004},
    {"x-iscii-te", 57005},
    {"x-iscii-as", 57006},
    {"x-iscii-or", 57007},
    {"x-iscii-ka", 57008},
    {"x-iscii-ma", 57009},
    {"x-iscii-gu", 57010},
    {"x-iscii-pa", 57011},
    {"csunicode11utf7", 65000}, {"unicode-1-1-utf-7", 65000}, {"utf-7", 65000}, {"x-unicode-2-0-utf-7", 65000},
    {"cp65001", 65001}, {"unicode-1-1-utf-8", 65001}, {"unicode-2-0-utf-8", 65001}, {"utf-8", 65001}, {"utf8", 65001}, {"x-unicode-2-0-utf-8", 65001},
};
// clang-format on

constexpr std::size_t kNameCount = std::size(kTable);

constexpr std::size_t BucketOf(std::string_view name) {
    std::size_t sum = 0;
    for (char c : name) {
        sum += static_cast<unsigned char>(c);
    }
    return sum % kEncodingBucketCount;
}

// The table sorted by bucket (stable, so each bucket keeps table order) and where each bucket
// starts; built by the compiler.
struct Buckets {
    std::array<EncodingName, kNameCount> rows{};
    std::array<std::size_t, kEncodingBucketCount + 1> starts{};
};

constexpr Buckets MakeBuckets() {
    Buckets buckets;
    std::array<std::size_t, kNameCount> bucketOfRow{};
    std::array<std::size_t, kEncodingBucketCount + 1> next{};
    for (std::size_t row = 0; row < kNameCount; ++row) {
        bucketOfRow[row] = BucketOf(kTable[row].name);
        ++buckets.starts[bucketOfRow[row] + 1];
    }
    for (std::size_t bucket = 0; bucket < kEncodingBucketCount; ++bucket) {
        buckets.starts[bucket + 1] += buckets.starts[bucket];
        next[bucket] = buckets.starts[bucket];
    }
    for (std::size_t row = 0; row < kNameCount; ++row) {
        buckets.rows[next[bucketOfRow[row]]++] = kTable[row];
    }
    return buckets;
}

constexpr Buckets kBuckets = MakeBuckets();
static_assert(kBuckets.starts[kEncodingBucketCount] == kNameCount);

bool KeepsAscii(unsigned codePage) {
    return codePage == platform::kAnsiCodePage || codePage == platform::kUtf8CodePage;
}

// The first byte from `pos` on that is not ASCII, eight bytes at a time.
std::size_t SkipAscii(std::string_view bytes, std::size_t pos) {
    constexpr std::uint64_t kHighBits = 0x8080808080808080u;
    while (pos + 8 <= bytes.size()) {
        std::uint64_t word;
        std::memcpy(&word, bytes.data() + pos, 8);
        if (word & kHighBits) {
            break;
        }
        pos += 8;
    }
    while (pos < bytes.size() && static_cast<unsigned char>(bytes[pos]) < 0x80) {
        ++pos;
    }
    return pos;
}

// Where the run of non-ASCII characters that starts at `pos` ends. In code page 936 an ASCII byte
// that can be a trail byte (0x40-0x7E) stays in the run when a high byte stands before it: the
// converter decides the pairing, and the byte after the run is then never taken as a trail byte.
std::size_t EndOfRun(unsigned fromCodePage, std::string_view bytes, std::size_t pos) {
    for (; pos < bytes.size(); ++pos) {
        auto byte = static_cast<unsigned char>(bytes[pos]);
        bool trailAfterHigh = fromCodePage == platform::kAnsiCodePage && byte >= 0x40 && byte <= 0x7E &&
                              static_cast<unsigned char>(bytes[pos - 1]) >= 0x80;
        if (byte < 0x80 && !trailAfterHigh) {
            break;
        }
    }
    return pos;
}

// UTF-8 to UTF-16 as the platform converter does it: each byte that does not start a valid,
// shortest-form sequence of a scalar value becomes U+FFFD on its own.
std::u16string DecodeUtf8(std::string_view bytes) {
    std::u16string units;
    units.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size();) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = lead < 0x80                    ? 1
                             : lead >= 0xC2 && lead <= 0xDF ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
        char32_t value = length == 1 ? lead : length == 2 ? lead & 0x1F : length == 3 ? lead & 0x0F : lead & 0x07;
        bool valid = length != 0 && i + length <= bytes.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            auto next = static_cast<unsigned char>(bytes[i + k]);
            valid = (next & 0xC0) == 0x80;
            value = (value << 6) | (next & 0x3F);
        }
        if (valid && length == 3) {
            valid = value >= 0x800 && (value < 0xD800 || value > 0xDFFF);
        } else if (valid && length == 4) {
            valid = value >= 0x10000 && value <= 0x10FFFF;
        }
        if (!valid) {
            units.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (value >= 0x10000) {
            units.push_back(static_cast<char16_t>(0xD800 + ((value - 0x10000) >> 10)));
            units.push_back(static_cast<char16_t>(0xDC00 + ((value - 0x10000) & 0x3FF)));
        } else {
            units.push_back(static_cast<char16_t>(value));
        }
        i += length;
    }
    return units;
}

// UTF-16 to UTF-8 as the platform converter does it: a lone surrogate becomes '?' and counts as a
// character without representation.
std::string EncodeUtf8(std::u16string_view units, bool* lost) {
    std::string bytes;
    bytes.reserve(units.size() * 3);
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t value = units[i];
        if (value >= 0xD800 && value <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            value = 0x10000 + ((value - 0xD800) << 10) + (units[i + 1] - 0xDC00);
            ++i;
        } else if (value >= 0xD800 && value <= 0xDFFF) {
            bytes.push_back('?');
            *lost = true;
            continue;
        }
        if (value < 0x80) {
            bytes.push_back(static_cast<char>(value));
        } else if (value < 0x800) {
            bytes.push_back(static_cast<char>(0xC0 | (value >> 6)));
            bytes.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        } else if (value < 0x10000) {
            bytes.push_back(static_cast<char>(0xE0 | (value >> 12)));
            bytes.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
            bytes.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        } else {
            bytes.push_back(static_cast<char>(0xF0 | (value >> 18)));
            bytes.push_back(static_cast<char>(0x80 | ((value >> 12) & 0x3F)));
            bytes.push_back(static_cast<char>(0x80 | ((value >> 6) & 0x3F)));
            bytes.push_back(static_cast<char>(0x80 | (value & 0x3F)));
        }
    }
    return bytes;
}

// One conversion between code page 936 and UTF-8: the UTF-8 side is done here, the other side by
// the platform converter.
std::string ConvertAnsiAndUtf8(unsigned fromCodePage, unsigned toCodePage, std::string_view bytes, bool* lost) {
    if (fromCodePage == platform::kUtf8CodePage && toCodePage == platform::kAnsiCodePage) {
        return platform::WideToMultiByte(platform::kAnsiCodePage, DecodeUtf8(bytes), lost);
    }
    if (fromCodePage == platform::kAnsiCodePage && toCodePage == platform::kUtf8CodePage) {
        *lost = false;
        return EncodeUtf8(platform::MultiByteToWide(platform::kAnsiCodePage, bytes), lost);
    }
    return platform::ConvertCodePage(fromCodePage, toCodePage, bytes, lost);
}

bool ConvertibleHere(unsigned code) {
    return !platform::IconvNameForCodePage(ConversionCodePage(code)).empty();
}

}  // namespace

std::span<const EncodingName> AllEncodingNames() {
    return kBuckets.rows;
}

std::size_t EncodingBucketOf(std::string_view lowerCaseName) {
    return BucketOf(lowerCaseName);
}

std::span<const EncodingName> EncodingBucket(std::size_t bucket) {
    if (bucket >= kEncodingBucketCount) {
        return {};
    }
    return std::span<const EncodingName>(kBuckets.rows)
        .subspan(kBuckets.starts[bucket], kBuckets.starts[bucket + 1] - kBuckets.starts[bucket]);
}

unsigned CodePageOfEncoding(std::string_view name) {
    if (name.empty()) {
        return platform::kAnsiCodePage;
    }
    if (name.starts_with("UTF-32")) {
        return ConvertibleHere(kUtf32Encoding) ? kUtf32Encoding : kUnrecognisedEncoding;
    }
    if (name.size() > kMaxNameLength) {
        return kUnrecognisedEncoding;
    }
    std::string lower(name);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    for (const EncodingName& row : EncodingBucket(BucketOf(lower))) {
        if (row.name == lower) {
            return ConvertibleHere(row.codePage) ? row.codePage : kUnrecognisedEncoding;
        }
    }
    return kUnrecognisedEncoding;
}

unsigned ConversionCodePage(unsigned code) {
    return code == kUtf32Encoding ? platform::kUtf32LeCodePage : code;
}

bool EncodingsDiffer(std::string_view first, std::string_view second) {
    unsigned a = CodePageOfEncoding(first);
    unsigned b = CodePageOfEncoding(second);
    return a != kUnrecognisedEncoding && b != kUnrecognisedEncoding && a != b;
}

std::string ConvertBetweenCodePages(unsigned fromCodePage, unsigned toCodePage, std::string_view bytes,
                                    bool* usedDefaultChar) {
    if (!KeepsAscii(fromCodePage) || !KeepsAscii(toCodePage)) {
        return platform::ConvertCodePage(fromCodePage, toCodePage, bytes, usedDefaultChar);
    }
    // The runs are joined by line feeds: a run never holds one, and no run converts into one, so
    // the converted pieces can be told apart again.
    struct Run {
        std::size_t start;
        std::size_t end;
    };
    std::vector<Run> runs;
    std::string joined;
    for (std::size_t pos = SkipAscii(bytes, 0); pos < bytes.size(); pos = SkipAscii(bytes, pos)) {
        std::size_t end = EndOfRun(fromCodePage, bytes, pos);
        runs.push_back({pos, end});
        joined.append(bytes.substr(pos, end - pos));
        joined.push_back('\n');
        pos = end;
    }
    if (usedDefaultChar) {
        *usedDefaultChar = false;
    }
    if (runs.empty()) {
        return std::string(bytes);
    }
    bool lost = false;
    std::string converted = ConvertAnsiAndUtf8(fromCodePage, toCodePage, joined, &lost);
    std::string result;
    result.reserve(bytes.size() + converted.size());
    std::size_t copied = 0;
    std::size_t piece = 0;
    for (const Run& run : runs) {
        std::size_t pieceEnd = converted.find('\n', piece);
        if (pieceEnd == std::string::npos) {
            return platform::ConvertCodePage(fromCodePage, toCodePage, bytes, usedDefaultChar);
        }
        result.append(bytes.substr(copied, run.start - copied));
        result.append(converted, piece, pieceEnd - piece);
        copied = run.end;
        piece = pieceEnd + 1;
    }
    result.append(bytes.substr(copied));
    if (usedDefaultChar) {
        *usedDefaultChar = lost;
    }
    return result;
}

}  // namespace tarvane
