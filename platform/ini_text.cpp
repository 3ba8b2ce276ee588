#include "platform/ini_text.h"

#include <string>

#include "platform/ansi_text.h"

namespace platform {
namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view text) {
    std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    std::size_t last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

std::string_view Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

enum class LineKind { Other, Section, Key };

struct Line {
    std::size_t begin = 0;  // first byte
    std::size_t end = 0;    // end of the content, before "\r\n" or "\n"
    std::size_t next = 0;   // first byte of the following line
    LineKind kind = LineKind::Other;
    std::string_view name;       // section or key name, trimmed
    std::size_t valueBegin = 0;  // for a key: first byte after '='
};

// Walks the lines of a file one at a time.
class LineReader {
public:
    explicit LineReader(std::string_view text) : text_(text) {}

    bool Next(Line& line) {
        if (pos_ >= text_.size()) {
            return false;
        }
        line = Line{};
        line.begin = pos_;
        std::size_t newline = text_.find('\n', pos_);
        line.next = newline == std::string_view::npos ? text_.size() : newline + 1;
        line.end = newline == std::string_view::npos ? text_.size() : newline;
        if (line.end > line.begin && text_[line.end - 1] == '\r') {
            --line.end;
        }
        pos_ = line.next;
        Classify(line);
        return true;
    }

private:
    void Classify(Line& line) const {
        std::string_view content = text_.substr(line.begin, line.end - line.begin);
        std::string_view trimmed = Trim(content);
        if (!trimmed.empty() && trimmed.front() == '[') {
            std::string_view inner = trimmed.substr(1);
            std::size_t close = FindChar936(inner, ']');
            line.kind = LineKind::Section;
            line.name = Trim(inner.substr(0, close));
            return;
        }
        std::size_t equals = content.find('=');  // '=' is never a trail byte
        if (equals != std::string_view::npos) {
            line.kind = LineKind::Key;
            line.name = Trim(content.substr(0, equals));
            line.valueBegin = line.begin + equals + 1;
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

bool HasLineBreakOrNul(std::string_view text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != text.npos;
}

std::string_view LineEnding(std::string_view text) {
    std::size_t newline = text.find('\n');
    return (newline != std::string_view::npos && newline > 0 && text[newline - 1] == '\r') ? "\r\n" : "\n";
}

}  // namespace

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section, std::string_view key) {
    section = Trim(section);
    key = Trim(key);
    LineReader reader(text);
    Line line;
    bool inSection = false;
    while (reader.Next(line)) {
        if (line.kind == LineKind::Section) {
            inSection = EqualsIgnoreCase936(line.name, section);
        } else if (inSection && line.kind == LineKind::Key && EqualsIgnoreCase936(line.name, key)) {
            return std::string(Unquote(Trim(text.substr(line.valueBegin, line.end - line.valueBegin))));
        }
    }
    return std::nullopt;
}

bool IsWritableIniEntry(std::string_view section, std::string_view key, std::string_view value) {
    if (HasLineBreakOrNul(section) || HasLineBreakOrNul(key) || HasLineBreakOrNul(value)) {
        return false;
    }
    // The closing ']' must not become the trail byte of a lead byte that ends the name.
    std::string header(Trim(section));
    header += ']';
    if (FindChar936(header, ']') != header.size() - 1) {
        return false;
    }
    std::string_view trimmedKey = Trim(key);
    return !trimmedKey.empty() && trimmedKey.front() != '[' && key.find('=') == std::string_view::npos;
}

std::string SetIniValue(std::string_view text, std::string_view section, std::string_view key, std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    std::string_view eol = LineEnding(text);

    LineReader reader(text);
    Line line;
    bool inSection = false;
    bool sectionSeen = false;
    bool firstSectionOpen = false;
    Line lastOfFirstSection;  // last non-blank line of the first matching section
    while (reader.Next(line)) {
        if (line.kind == LineKind::Section) {
            inSection = EqualsIgnoreCase936(line.name, section);
            firstSectionOpen = inSection && !sectionSeen;
            if (firstSectionOpen) {
                sectionSeen = true;
                lastOfFirstSection = line;
            }
            continue;
        }
        if (inSection && line.kind == LineKind::Key && EqualsIgnoreCase936(line.name, key)) {
            std::string result(text.substr(0, line.valueBegin));
            result += value;
            result += text.substr(line.end);
            return result;
        }
        if (firstSectionOpen && !Trim(text.substr(line.begin, line.end - line.begin)).empty()) {
            lastOfFirstSection = line;
        }
    }

    std::string entry(key);
    entry += '=';
    entry += value;
    if (sectionSeen) {
        std::string result(text.substr(0, lastOfFirstSection.next));
        if (text[lastOfFirstSection.next - 1] != '\n') {  // the file's last line, with no line break
            result += eol;
        }
        result += entry;
        result += eol;
        result += text.substr(lastOfFirstSection.next);
        return result;
    }
    std::string result(text);
    if (!result.empty() && result.back() != '\n') {
        result += eol;
    }
    result += '[';
    result += section;
    result += ']';
    result += eol;
    result += entry;
    result += eol;
    return result;
}

}  // namespace platform
