#include "tarvane/store/xml_file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "platform/codepage.h"
#include "platform/file_replace.h"
#include "platform/unique_fd.h"
#include "tarvane/store/encoding_names.h"
#include "tarvane/store/xml_tokenizer.h"

namespace tarvane {
namespace {

constexpr std::size_t kDeclarationWindow = 1024;
constexpr std::size_t kMaxErrorText = 100;

struct Mark {
    std::string_view bytes;
    const char* encoding;
    std::size_t unit;
    bool XmlEncodingFlags::*flag;
};

// Tried in this order, on reading and on writing.
constexpr Mark kMarks[] = {
    {"\xEF\xBB\xBF", "UTF-8", 1, &XmlEncodingFlags::utf8Mark},
    {"\xFF\xFE", "UTF-16LE", 2, &XmlEncodingFlags::utf16LittleEndian},
    {"\xFE\xFF", "UTF-16BE", 2, &XmlEncodingFlags::utf16BigEndian},
};

bool IsBigEndianMark(const Mark& mark) {
    return mark.flag == &XmlEncodingFlags::utf16BigEndian;
}

XmlResultLog::Entry MakeEntry(std::string_view word, std::string_view textName = {}, std::string_view textValue = {},
                              std::string_view numberName = {}, std::optional<long long> number = {}) {
    XmlResultLog::Entry entry;
    entry.word = word;
    entry.textName = textName;
    entry.textValue = textValue;
    entry.numberName = numberName;
    entry.number = number;
    return entry;
}

void LogWord(XmlResultLog& log, std::string_view word) {
    log.Add(MakeEntry(word));
}

XmlResultLog::Entry LengthEntry(std::string_view word, std::string_view encoding, std::size_t length) {
    return MakeEntry(word, "encoding", encoding, "length", static_cast<long long>(length));
}

void LogLength(XmlResultLog& log, std::string_view word, std::string_view encoding, std::size_t length) {
    log.Add(LengthEntry(word, encoding, length));
}

void LogFileError(XmlResultLog& log, int error) {
    std::string message = std::strerror(error);
    message = message.substr(0, message.find_first_of("\r\n"));
    if (message.size() > kMaxErrorText) {
        message.resize(kMaxErrorText);
    }
    log.Add(MakeEntry("file_error", "msg", message, "n", error));
}

// Code pages whose conversion cannot tell whether a default character was used.
bool LossDetectable(unsigned codePage) {
    switch (codePage) {
        case 50220:
        case 50221:
        case 50222:
        case 50225:
        case 50227:
        case 50229:
        case 52936:
        case 54936:
        case 65000:
        case 65001:
            return false;
        default:
            return codePage < 57002 || codePage > 57011;
    }
}

std::size_t RemoveNullBytes(std::string& bytes) {
    if (std::memchr(bytes.data(), '\0', bytes.size()) == nullptr) {
        return 0;
    }
    std::size_t before = bytes.size();
    std::erase(bytes, '\0');
    return before - bytes.size();
}

void LogNullsRemoved(XmlResultLog& log, std::size_t count) {
    if (count > 0) {
        log.Add(MakeEntry("nulls_removed", {}, {}, "count", static_cast<long long>(count)));
    }
}

// The test for undeclared UTF-8: lead bytes give the sequence length from bits 5 to 3, and every
// byte after a lead only needs its high bit.
bool LooksLikeUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 1;
        if (lead & 0x80) {
            if (!(lead & 0x20)) {
                length = 2;
            } else if (!(lead & 0x10)) {
                length = 3;
            } else if (!(lead & 0x08)) {
                length = 4;
            } else {
                return false;
            }
            if (i + length > bytes.size()) {
                return false;
            }
            for (std::size_t k = 1; k < length; ++k) {
                if (!(static_cast<unsigned char>(bytes[i + k]) & 0x80)) {
                    return false;
                }
            }
        }
        i += length;
    }
    return true;
}

bool HasHighByte(std::string_view bytes) {
    for (char c : bytes) {
        if (static_cast<unsigned char>(c) > 0x7F) {
            return true;
        }
    }
    return false;
}

// Converts file bytes in `encoding` to the ANSI code page, recording the conversion.
std::string ConvertToAnsi(std::string_view bytes, std::string_view encoding, XmlResultLog& log) {
    bool lost = false;
    std::string text = ConvertBetweenCodePages(ConversionCodePage(CodePageOfEncoding(encoding)),
                                               platform::kAnsiCodePage, bytes, &lost);
    LogLength(log, "converted_to", "", text.size());
    if (lost) {
        LogWord(log, "conversion_loss");
    }
    return text;
}

std::u16string UnitsFromBytes(std::string_view bytes, bool bigEndian) {
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
        auto first = static_cast<unsigned char>(bytes[2 * i]);
        auto second = static_cast<unsigned char>(bytes[2 * i + 1]);
        units[i] = static_cast<char16_t>(bigEndian ? (first << 8) | second : first | (second << 8));
    }
    return units;
}

std::string BytesFromUnits(std::u16string_view units, bool bigEndian) {
    std::string bytes;
    bytes.reserve(units.size() * 2);
    for (char16_t unit : units) {
        auto low = static_cast<char>(unit & 0xFF);
        auto high = static_cast<char>(unit >> 8);
        bytes.push_back(bigEndian ? high : low);
        bytes.push_back(bigEndian ? low : high);
    }
    return bytes;
}

// Reads the whole file; false with errno set on failure.
bool ReadAll(int fd, std::string& bytes) {
    struct stat info {};
    if (fstat(fd, &info) != 0) {
        return false;
    }
    // Read straight into the string; the loop also copes with files that are not what fstat said.
    std::size_t used = 0;
    bytes.resize(S_ISREG(info.st_mode) ? static_cast<std::size_t>(info.st_size) + 1 : 65536);
    for (;;) {
        if (used == bytes.size()) {
            bytes.resize(bytes.size() * 2);
        }
        ssize_t got = read(fd, bytes.data() + used, bytes.size() - used);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        if (got == 0) {
            bytes.resize(used);
            return true;
        }
        used += static_cast<std::size_t>(got);
    }
}

}  // namespace

bool ReadXmlFile(const std::string& path, XmlEncodingFlags& flags, std::string& text, XmlResultLog& log) {
    text.clear();
    std::string osPath = platform::Utf8FromAnsi(path);
    platform::UniqueFd fd(open(osPath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        LogFileError(log, errno);
        return false;
    }
    std::string bytes;
    if (!ReadAll(fd.get(), bytes)) {
        LogFileError(log, errno);
        return false;
    }
    if (!fd.Close()) {
        LogFileError(log, errno);
    }

    XmlEncodingFlags found;
    const Mark* mark = nullptr;
    for (const Mark& candidate : kMarks) {
        if (std::string_view(bytes).starts_with(candidate.bytes)) {
            mark = &candidate;
            break;
        }
    }
    std::string encoding;
    if (mark != nullptr) {
        found.*(mark->flag) = true;
        encoding = mark->encoding;
        LogWord(log, "bom");
        bytes.erase(0, mark->bytes.size());
    } else {
        std::string_view head = std::string_view(bytes).substr(0, kDeclarationWindow);
        encoding = DeclaredEncoding(head);
        if (encoding.empty() && head.starts_with('<')) {
            encoding = "UTF-8";
        }
    }

    std::size_t unit = mark != nullptr ? mark->unit : 1;
    std::size_t unitsRead = bytes.size() / unit;
    LogLength(log, "read", encoding, unitsRead);

    if (unit == 2) {
        std::u16string units = UnitsFromBytes(bytes, IsBigEndianMark(*mark));
        LogNullsRemoved(log, std::erase(units, u'\0'));
        if (IsBigEndianMark(*mark)) {
            LogWord(log, "endian_swap");
        }
        bool lost = false;
        text = platform::WideToMultiByte(platform::kAnsiCodePage, units, &lost);
        LogLength(log, "converted_to", "", text.size());
        if (lost) {
            LogWord(log, "conversion_loss");
        }
    } else if (EncodingsDiffer(encoding, "")) {
        LogNullsRemoved(log, RemoveNullBytes(bytes));
        text = ConvertToAnsi(bytes, encoding, log);
    } else {
        LogNullsRemoved(log, RemoveNullBytes(bytes));
        if (encoding.empty()) {
            // Neither mark, declaration nor '<': plain text in the ANSI code page unless it
            // reads as UTF-8.
            if (LooksLikeUtf8(bytes)) {
                log.Update(LengthEntry("read", "UTF-8", unitsRead));
                if (HasHighByte(bytes)) {
                    bytes = ConvertToAnsi(bytes, "UTF-8", log);
                }
            }
            LogWord(log, "utf8_detection");
        }
        text = std::move(bytes);
    }
    flags = found;
    return true;
}

bool WriteXmlFile(const std::string& path, std::string_view text, const XmlEncodingFlags& flags, XmlResultLog& log) {
    std::string encoding;
    const Mark* mark = nullptr;
    for (const Mark& candidate : kMarks) {
        if (flags.*(candidate.flag)) {
            mark = &candidate;
            break;
        }
    }
    if (mark != nullptr) {
        encoding = mark->encoding;
        LogWord(log, "bom");
    }
    if (encoding.empty() && !text.empty()) {
        encoding = DeclaredEncoding(text);
        if (encoding.empty()) {
            encoding = "UTF-8";
        }
    }

    // The body is the text itself unless it needs converting.
    std::string converted;
    std::string_view body = text;
    std::size_t units = text.size();
    if (text.empty()) {
        units = 0;
    } else if (mark != nullptr && mark->unit == 2) {
        std::u16string wide = platform::MultiByteToWide(platform::kAnsiCodePage, text);
        LogLength(log, "converted_from", "", wide.size());
        if (IsBigEndianMark(*mark)) {
            LogWord(log, "endian_swap");
        }
        converted = BytesFromUnits(wide, IsBigEndianMark(*mark));
        body = converted;
        units = wide.size();
    } else if (EncodingsDiffer(encoding, "")) {
        unsigned target = ConversionCodePage(CodePageOfEncoding(encoding));
        bool lost = false;
        converted = ConvertBetweenCodePages(platform::kAnsiCodePage, target, text, &lost);
        LogLength(log, "converted_from", "", converted.size());
        if (lost && LossDetectable(target)) {
            LogWord(log, "conversion_loss");
        }
        body = converted;
        units = converted.size();
    }

    std::string_view head = mark != nullptr ? mark->bytes : std::string_view();
    // A new file gets mode 0600; a replaced one keeps its mode and, where allowed, its owner. The folder
    // is not synced: after a power loss the file may be the previous version, but always a whole one.
    std::string file = platform::FollowLink(platform::Utf8FromAnsi(path));
    platform::ReplaceOptions options;
    options.temporaryTemplate = file + kSaveTemporarySuffix + "XXXXXX";
    options.syncFolder = false;
    int error = platform::ReplaceFile(
        file, [head, body](int fd) { return platform::WriteAll(fd, head) && platform::WriteAll(fd, body); }, options);
    if (error != 0) {
        LogFileError(log, error);
        return false;
    }
    LogLength(log, "write", encoding, units);
    return true;
}

}  // namespace tarvane

namespace tarvane {
namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i] >= 'A' && a[i] <= 'Z' ? static_cast<char>(a[i] - 'A' + 'a') : a[i];
        char y = b[i] >= 'A' && b[i] <= 'Z' ? static_cast<char>(b[i] - 'A' + 'a') : b[i];
        if (x != y) {
            return false;
        }
    }
    return true;
}

// The token after "charset=" in a Content-Type value such as "text/html; charset=gb2312".
std::string CharsetOf(std::string_view content) {
    static constexpr std::string_view kWord = "charset";
    for (std::size_t at = 0; at + kWord.size() <= content.size(); ++at) {
        if (!EqualsIgnoringCase(content.substr(at, kWord.size()), kWord)) {
            continue;
        }
        std::size_t pos = at + kWord.size();
        while (pos < content.size() && IsXmlWhiteSpace(content[pos])) {
            ++pos;
        }
        if (pos >= content.size() || content[pos] != '=') {
            continue;
        }
        ++pos;
        while (pos < content.size() && IsXmlWhiteSpace(content[pos])) {
            ++pos;
        }
        std::size_t end = content.find_first_of(" \t\r\n;\"'", pos);
        return std::string(content.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos));
    }
    return {};
}

}  // namespace

std::string DeclaredEncoding(std::string_view text) {
    XmlTokenizer tokenizer(text);
    XmlNode node;
    bool inHtml = false;
    while (tokenizer.Next(node)) {
        std::string_view nodeText = text.substr(node.offset, node.length);
        switch (node.kind) {
            case XmlNodeKind::kProcessingInstruction:
                if (node.offset == 0 && XmlTagName(nodeText) == "xml") {
                    return ReadXmlAttribute(nodeText, "encoding");
                }
                break;
            case XmlNodeKind::kStartTag:
                if (!inHtml) {
                    if (XmlTagName(nodeText) != "html") {
                        return {};
                    }
                    inHtml = true;
                } else if (XmlTagName(nodeText) == "meta" &&
                           EqualsIgnoringCase(ReadXmlAttribute(nodeText, "http-equiv"), "Content-Type")) {
                    return CharsetOf(ReadXmlAttribute(nodeText, "content"));
                }
                break;
            case XmlNodeKind::kEndTag:
                if (XmlTagName(nodeText) == "head") {
                    return {};
                }
                break;
            case XmlNodeKind::kSyntaxError:
                return {};
            default:
                break;
        }
    }
    return {};
}

}  // namespace tarvane
