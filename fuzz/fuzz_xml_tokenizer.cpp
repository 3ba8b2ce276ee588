// Holds the tokenizer, which searches with memchr and looks back over lead bytes to tell a
// delimiter from a trail byte, against a plain scanner that steps over every character in turn.
// Tag names and attribute spans are checked the same way.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "tarvane/store/xml_entities.h"
#include "tarvane/store/xml_tokenizer.h"

namespace tarvane {
namespace {

constexpr auto npos = std::string_view::npos;

std::size_t CharLength(std::string_view text, std::size_t pos) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    if (byte < 0x81 || byte > 0xFE || pos + 1 >= text.size()) {
        return 1;
    }
    const auto trail = static_cast<unsigned char>(text[pos + 1]);
    return trail >= 0x40 && trail <= 0xFE && trail != 0x7F ? 2 : 1;
}

std::size_t PlainFind(std::string_view text, std::size_t pos, std::string_view pattern) {
    for (; pos < text.size(); pos += CharLength(text, pos)) {
        if (text.substr(pos).starts_with(pattern)) {
            return pos;
        }
    }
    return npos;
}

// The same nodes as XmlTokenizer, one character at a time.
class PlainTokenizer {
public:
    explicit PlainTokenizer(std::string_view text) : text_(text) {}

    bool Next(XmlNode& node) {
        if (offset_ >= text_.size()) {
            return false;
        }
        node = XmlNode{};
        node.offset = offset_;
        const std::string_view rest = text_.substr(offset_);
        if (rest[0] != '<') {
            bool blank = true;
            std::size_t pos = offset_;
            for (; pos < text_.size() && text_[pos] != '<'; pos += CharLength(text_, pos)) {
                blank = blank && CharLength(text_, pos) == 1 && IsXmlWhiteSpace(text_[pos]);
            }
            Finish(node, blank ? XmlNodeKind::kWhiteSpace : XmlNodeKind::kText, pos);
        } else if (rest.size() < 2) {
            Unterminated(node, "tag");
        } else if (rest[1] == '/') {
            Until(node, offset_ + 2, ">", XmlNodeKind::kEndTag, "end_tag");
        } else if (rest[1] == '?') {
            Until(node, offset_ + 2, "?>", XmlNodeKind::kProcessingInstruction, "processing_instruction");
        } else if (rest[1] == '!') {
            Exclamation(node, rest);
        } else if (IsXmlNameStart(rest[1])) {
            StartTag(node);
        } else {
            Error(node, "first_tag_syntax", offset_ + 1);
        }
        return true;
    }

private:
    void Finish(XmlNode& node, XmlNodeKind kind, std::size_t end) {
        node.kind = kind;
        node.length = end - offset_;
        offset_ = end;
    }
    void Until(XmlNode& node, std::size_t from, std::string_view end, XmlNodeKind kind, std::string_view type) {
        const std::size_t found = PlainFind(text_, from, end);
        if (found == npos) {
            Unterminated(node, type);
        } else {
            Finish(node, kind, found + end.size());
        }
    }
    void Exclamation(XmlNode& node, std::string_view rest) {
        if (rest.size() < 3) {
            Unterminated(node, "tag");
        } else if (rest[2] == '-') {
            if (rest.size() < 4) {
                Unterminated(node, "comment");
            } else if (rest[3] != '-') {
                Error(node, "comment_tag_syntax", offset_ + 1);
            } else {
                Until(node, offset_ + 4, "-->", XmlNodeKind::kComment, "comment");
            }
        } else if (rest[2] == '[') {
            if (rest.size() < 4) {
                Unterminated(node, "cdata_section");
            } else if (rest[3] != 'C') {
                Error(node, "cdata_section_syntax", offset_ + 1);
            } else {
                Until(node, offset_ + 4, "]]>", XmlNodeKind::kCdataSection, "cdata_section");
            }
        } else if (rest[2] == 'D') {
            DocumentType(node);
        } else {
            Error(node, "exclamation_tag_syntax", offset_ + 1);
        }
    }
    void StartTag(XmlNode& node) {
        char quote = 0;
        bool afterEquals = false;
        bool lastWasSlash = false;
        for (std::size_t pos = offset_ + 1; pos < text_.size();) {
            const std::size_t length = CharLength(text_, pos);
            const char c = length == 1 ? text_[pos] : '\0';
            pos += length;
            if (quote != 0) {
                quote = c == quote ? 0 : quote;
                continue;
            }
            if (c == '>') {
                node.emptyElement = lastWasSlash;
                Finish(node, XmlNodeKind::kStartTag, pos);
                return;
            }
            if ((c == '"' || c == '\'') && afterEquals) {
                quote = c;
                afterEquals = false;
            } else if (c == '=') {
                afterEquals = true;
            } else if (length != 1 || !IsXmlWhiteSpace(c)) {
                afterEquals = false;
            }
            lastWasSlash = c == '/';
        }
        Unterminated(node, "start_tag");
    }
    // Skips a quoted literal at `pos`; npos when it is not closed.
    std::size_t SkipQuoted(std::size_t pos) const {
        const std::size_t close = PlainFind(text_, pos + 1, std::string_view(&text_[pos], 1));
        return close == npos ? npos : close + 1;
    }
    void DocumentType(XmlNode& node) {
        bool inSubset = false;
        std::size_t pos = offset_ + 3;
        while (pos != npos && pos < text_.size()) {
            const std::size_t length = CharLength(text_, pos);
            const char c = length == 1 ? text_[pos] : '\0';
            const std::string_view rest = text_.substr(pos);
            if (!inSubset) {
                if (c == '>') {
                    Finish(node, XmlNodeKind::kDocumentType, pos + 1);
                    return;
                }
                inSubset = c == '[';
                pos = c == '"' || c == '\'' ? SkipQuoted(pos) : pos + length;
            } else if (c == ']') {
                inSubset = false;
                ++pos;
            } else if (c != '<' || rest.size() < 2 || (rest[1] != '!' && rest[1] != '?')) {
                pos += length;
            } else if (rest[1] == '?') {
                pos = PlainFind(text_, pos + 2, "?>");
                pos = pos == npos ? npos : pos + 2;
            } else if (rest.size() < 3) {
                break;
            } else if (rest[2] == '-') {
                if (rest.size() < 4) {
                    break;
                }
                if (rest[3] != '-') {
                    Error(node, "doctype_tag_syntax", pos + 1);
                    return;
                }
                pos = PlainFind(text_, pos + 4, "-->");
                pos = pos == npos ? npos : pos + 3;
            } else if (rest[2] != 'A' && rest[2] != 'E' && rest[2] != 'N') {
                Error(node, "doctype_tag_syntax", pos + 1);
                return;
            } else {
                // A declaration, up to its '>' outside quoted literals.
                for (pos += 3;;) {
                    if (pos == npos || pos >= text_.size()) {
                        pos = npos;
                        break;
                    }
                    const std::size_t step = CharLength(text_, pos);
                    const char d = step == 1 ? text_[pos] : '\0';
                    if (d == '>') {
                        ++pos;
                        break;
                    }
                    pos = d == '"' || d == '\'' ? SkipQuoted(pos) : pos + step;
                }
            }
        }
        Unterminated(node, "document_type");
    }
    void Error(XmlNode& node, std::string_view word, std::size_t from) {
        std::size_t end = text_.size();
        for (std::size_t pos = from; pos < text_.size(); pos += CharLength(text_, pos)) {
            if (CharLength(text_, pos) == 1 && (text_[pos] == '>' || text_[pos] == '<')) {
                end = text_[pos] == '>' ? pos + 1 : pos;
                break;
            }
        }
        node.errorWord = word;
        Finish(node, XmlNodeKind::kSyntaxError, end);
    }
    void Unterminated(XmlNode& node, std::string_view type) {
        node.errorWord = "unterminated_tag_syntax";
        node.errorType = type;
        Finish(node, XmlNodeKind::kSyntaxError, text_.size());
    }

    std::string_view text_;
    std::size_t offset_ = 0;
};

std::string Describe(const XmlNode& node) {
    return std::to_string(static_cast<int>(node.kind)) + " " + std::to_string(node.offset) + "+" +
           std::to_string(node.length) + (node.emptyElement ? " empty " : " ") + std::string(node.errorWord) + " " +
           std::string(node.errorType);
}

template <typename Tokenizer>
std::vector<std::string> Nodes(std::string_view text) {
    Tokenizer tokenizer(text);
    std::vector<std::string> nodes;
    XmlNode node;
    while (tokenizer.Next(node) && nodes.size() <= text.size()) {
        nodes.push_back(Describe(node));
    }
    return nodes;
}

// A tag name or attribute name read character by character up to one of `ends`.
std::size_t PlainNameEnd(std::string_view tag, std::size_t pos, std::string_view ends) {
    for (; pos < tag.size(); pos += CharLength(tag, pos)) {
        if (CharLength(tag, pos) == 1 && ends.find(tag[pos]) != npos) {
            break;
        }
    }
    return pos;
}

void Check(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckTag(std::string_view tag) {
    if (tag.size() < 2 || tag[0] != '<') {
        return;
    }
    const std::size_t nameStart = tag[1] == '/' || tag[1] == '?' ? 2 : 1;
    const std::size_t nameEnd = PlainNameEnd(tag, nameStart, "\t\n\r !\"'/;<=>?\\");
    Check(XmlTagName(tag) == tag.substr(nameStart, nameEnd - nameStart));
    for (const std::string_view name : {"a", "b", "c", "xyz", "\xD6\xD0", "\xB0"}) {
        XmlAttributeSpan span;
        if (!FindXmlAttribute(tag, name, span)) {
            continue;
        }
        Check(tag.substr(span.nameOffset, span.nameLength) == name);
        Check(PlainNameEnd(tag, span.nameOffset, "\t\n\r =/>?") == span.nameOffset + span.nameLength);
        if (span.quote != 0) {
            const std::size_t close = PlainFind(tag, span.valueOffset, std::string_view(&span.quote, 1));
            Check(span.valueOffset + span.valueLength == (close == npos ? tag.size() : close));
        }
    }
}

// Pieces dense in delimiters, lead bytes and cut-off characters, which random bytes rarely line up.
const char* const kPieces[] = {
    "<",    ">",    "/",    "?",         "!",      "-",    "--",          "[",     "]",        "]]>",
    "-->",  "?>",   "<!--", "<![CDATA[", "<![x",   "<!-x", "<!DOCTYPE r", "<!ENT", "<!A",      "<!X",
    "<?",   "</",   "<a",   "<b",        " ",      "\r\n", "\t",          "=",     "\"",       "'",
    "a",    "xyz",  "&",    "&amp;",     ";",      "\\",   "\x81",        "\xB0",  "\xD6\xD0", "\xFE",
    "\xFF", "\x80", "\x7F", "<a b=\"",   "\" c='", "'/>",  "<r>",         "</r>",  " a=",      " \xD6\xD0=",
};

}  // namespace
}  // namespace tarvane

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tarvane;
    const std::string built = fuzz::PiecesOrBytes(data, size, kPieces);
    const std::string_view text = built;
    Check(Nodes<XmlTokenizer>(text) == Nodes<PlainTokenizer>(text));
    XmlTokenizer tokenizer(text);
    XmlNode node;
    while (tokenizer.Next(node)) {
        CheckTag(text.substr(node.offset, node.length));
    }
    return 0;
}
