#include "platform/codepage.h"

#include "platform/ansi_text.h"

#include <iconv.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <mutex>

namespace platform {
namespace {

struct CodePageName {
    unsigned codePage;
    const char* iconvName;
};

// Windows code pages and the glibc iconv names that convert them.
constexpr CodePageName kCodePageNames[] = {
    {154, "PT154"},
    {437, "CP437"},
    {708, "ISO-8859-6"},
    {720, "CP720"},
    {737, "CP737"},
    {775, "CP775"},
    {850, "CP850"},
    {852, "CP852"},
    {853, "CP853"},
    {855, "CP855"},
    {857, "CP857"},
    {858, "CP858"},
    {860, "CP860"},
    {861, "CP861"},
    {862, "CP862"},
    {863, "CP863"},
    {864, "CP864"},
    {865, "CP865"},
    {866, "CP866"},
    {869, "CP869"},
    {874, "CP874"},
    {932, "CP932"},
    {936, "CP936"},
    {949, "CP949"},
    {950, "CP950"},
    {1125, "CP1125"},
    {1133, "CP1133"},
    {1200, "UTF-16LE"},
    {1201, "UTF-16BE"},
    {1250, "CP1250"},
    {1251, "CP1251"},
    {1252, "CP1252"},
    {1253, "CP1253"},
    {1254, "CP1254"},
    {1255, "CP1255"},
    {1256, "CP1256"},
    {1257, "CP1257"},
    {1258, "CP1258"},
    {1361, "JOHAB"},
    {10000, "MACINTOSH"},
    {10004, "MAC-ARABIC"},
    {10005, "MAC-HEBREW"},
    {10006, "MAC-GREEK"},
    {10007, "MAC-CYRILLIC"},
    {10017, "MAC-UK"},
    {10021, "MAC-THAI"},
    {10029, "MAC-CENTRALEUROPE"},
    {10079, "MAC-ICELAND"},
    {10081, "MAC-TURKISH"},
    {10082, "MAC-CROATIAN"},
    {12000, "UTF-32LE"},
    {12001, "UTF-32BE"},
    {20127, "ASCII"},
    {20866, "KOI8-R"},
    {20932, "EUC-JP"},
    {21866, "KOI8-U"},
    {28591, "ISO-8859-1"},
    {28592, "ISO-8859-2"},
    {28593, "ISO-8859-3"},
    {28594, "ISO-8859-4"},
    {28595, "ISO-8859-5"},
    {28596, "ISO-8859-6"},
    {28597, "ISO-8859-7"},
    {28598, "ISO-8859-8"},
    {28599, "ISO-8859-9"},
    {28603, "ISO-8859-13"},
    {28605, "ISO-8859-15"},
    {38598, "ISO-8859-8"},
    {50220, "ISO-2022-JP"},
    {50221, "ISO-2022-JP"},
    {50222, "ISO-2022-JP"},
    {50225, "ISO-2022-KR"},
    {51932, "EUC-JP"},
    {51936, "EUC-CN"},
    {51949, "EUC-KR"},
    {54936, "GB18030"},
    {65000, "UTF-7"},
    {65001, "UTF-8"},
};

// Whether iconv on this machine knows a name; asked once per name.
bool IconvKnows(const char* name) {
    static std::mutex mutex;
    static std::map<std::string, bool> known;
    std::lock_guard lock(mutex);
    auto [it, inserted] = known.try_emplace(name, false);
    if (inserted) {
        iconv_t probe = iconv_open("UTF-16LE", name);
        it->second = probe != reinterpret_cast<iconv_t>(-1);
        if (it->second) {
            iconv_close(probe);
        }
    }
    return it->second;
}

class IconvHandle {
public:
    IconvHandle(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~IconvHandle() {
        if (valid()) {
            iconv_close(handle_);
        }
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return handle_; }

private:
    iconv_t handle_;
};

// Runs one conversion over the whole input. `onInvalid` decides what replaces an input step that
// the target cannot take: it appends to the output and answers how many input bytes to skip.
template <typename OnInvalid>
std::string RunIconv(iconv_t cd, std::string_view input, OnInvalid onInvalid) {
    std::string output;
    char buffer[8192];
    char* in = const_cast<char*>(input.data());
    size_t inLeft = input.size();
    while (inLeft > 0) {
        char* out = buffer;
        size_t outLeft = sizeof buffer;
        size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
        output.append(buffer, out - buffer);
        if (rc != static_cast<size_t>(-1)) {
            continue;
        }
        if (errno == E2BIG) {
            continue;
        }
        size_t skip = onInvalid(output, std::string_view(in, inLeft), errno == EINVAL);
        if (skip == 0 || skip > inLeft) {
            skip = inLeft;
        }
        in += skip;
        inLeft -= skip;
    }
    char* out = buffer;
    size_t outLeft = sizeof buffer;
    iconv(cd, nullptr, nullptr, &out, &outLeft);  // flush shift states (ISO-2022, UTF-7)
    output.append(buffer, out - buffer);
    return output;
}

std::string_view AsBytes(std::u16string_view text) {
    return {reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t)};
}

}  // namespace

std::string IconvNameForCodePage(unsigned codePage) {
    for (const auto& entry : kCodePageNames) {
        if (entry.codePage == codePage) {
            return IconvKnows(entry.iconvName) ? entry.iconvName : "";
        }
    }
    return "";
}

std::u16string MultiByteToWide(unsigned codePage, std::string_view bytes, bool* ok) {
    std::string name = IconvNameForCodePage(codePage);
    IconvHandle cd("UTF-16LE", name.empty() ? "" : name.c_str());
    if (name.empty() || !cd.valid()) {
        if (ok)
            *ok = false;
        return {};
    }
    if (ok)
        *ok = true;
    // Invalid input becomes U+FFFD, one byte at a time, as Windows does.
    std::string raw = RunIconv(cd.get(), bytes, [](std::string& out, std::string_view, bool) {
        out.append("\xFD\xFF", 2);
        return size_t{1};
    });
    std::u16string result(raw.size() / 2, u'\0');
    for (size_t i = 0; i < result.size(); ++i) {
        result[i] = static_cast<char16_t>(static_cast<unsigned char>(raw[2 * i]) |
                                          (static_cast<unsigned char>(raw[2 * i + 1]) << 8));
    }
    return result;
}

std::string WideToMultiByte(unsigned codePage, std::u16string_view text, bool* usedDefaultChar, bool* ok) {
    if (usedDefaultChar)
        *usedDefaultChar = false;
    std::string name = IconvNameForCodePage(codePage);
    IconvHandle cd(name.empty() ? "" : name.c_str(), "UTF-16LE");
    if (name.empty() || !cd.valid()) {
        if (ok)
            *ok = false;
        return {};
    }
    if (ok)
        *ok = true;
    std::u16string littleEndian(text);
    for (auto& unit : littleEndian) {
        unsigned char bytes[2] = {static_cast<unsigned char>(unit & 0xFF), static_cast<unsigned char>(unit >> 8)};
        std::memcpy(&unit, bytes, 2);
    }
    bool lost = false;
    std::string result =
        RunIconv(cd.get(), AsBytes(littleEndian), [&lost](std::string& out, std::string_view rest, bool) {
            lost = true;
            out.push_back('?');
            // A whole surrogate pair stands for one character.
            if (rest.size() >= 4) {
                unsigned high = static_cast<unsigned char>(rest[0]) | (static_cast<unsigned char>(rest[1]) << 8);
                unsigned low = static_cast<unsigned char>(rest[2]) | (static_cast<unsigned char>(rest[3]) << 8);
                if (high >= 0xD800 && high <= 0xDBFF && low >= 0xDC00 && low <= 0xDFFF) {
                    return size_t{4};
                }
            }
            return size_t{2};
        });
    if (usedDefaultChar)
        *usedDefaultChar = lost;
    return result;
}

std::string ConvertCodePage(unsigned fromCodePage, unsigned toCodePage, std::string_view bytes, bool* usedDefaultChar) {
    return WideToMultiByte(toCodePage, MultiByteToWide(fromCodePage, bytes), usedDefaultChar);
}

// A byte that is no character becomes "?" here rather than U+FFFD, as it does in the task files.
std::string Utf8FromAnsi(std::string_view ansi) {
    return ConvertCodePage(kAnsiCodePage, kUtf8CodePage, Valid936(ansi));
}

std::string AnsiFromUtf8(std::string_view utf8) {
    return ConvertCodePage(kUtf8CodePage, kAnsiCodePage, utf8);
}

}  // namespace platform
