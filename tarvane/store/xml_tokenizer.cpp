#include "tarvane/store/xml_tokenizer.h"

#include <array>
#include <cstring>

#include "platform/ansi_text.h"
#include "tarvane/store/xml_entities.h"

namespace tarvane {
namespace {

// Byte classes, looked up once per byte in the scanning loops.
enum : unsigned char {
    kLead = 1,                // 0x81-0xFE: starts a double-byte character when a trail byte follows
    kSpace = 2,               // XML white space
    kEndsTagName = 4,         // ends a tag name (white space included)
    kStartTagStop = 8,        // what a start tag outside quotes must look at: '>', quotes, '=', '/', white space
    kEndsAttributeName = 16,  // white space, '=', '/', '>', '?'
    kTrail = 32,              // 0x40-0xFE but 0x7F: completes a lead byte; no delimiter is one
};

constexpr std::array<unsigned char, 256> MakeByteClasses() {
    std::array<unsigned char, 256> classes{};
    for (int byte = 0; byte < 256; ++byte) {
        classes[byte] |= (platform::IsLeadByte936(byte) ? kLead : 0) | (platform::IsTrailByte936(byte) ? kTrail : 0);
    }
    for (const unsigned char c : {'\t', '\n', '\r', ' '}) {
        classes[c] |= kSpace | kEndsTagName | kStartTagStop | kEndsAttributeName;
    }
    for (const unsigned char c : {'!', '"', '\'', '/', ';', '<', '=', '>', '?', '\\'}) {
        classes[c] |= kEndsTagName;
    }
    for (const unsigned char c : {'>', '"', '\'', '=', '/'}) {
        classes[c] |= kStartTagStop;
    }
    for (const unsigned char c : {'=', '/', '>', '?'}) {
        classes[c] |= kEndsAttributeName;
    }
    return classes;
}

constexpr std::array<unsigned char, 256> kByteClasses = MakeByteClasses();

unsigned char ClassOf(char c) {
    return kByteClasses[static_cast<unsigned char>(c)];
}

bool IsLeadByte(char c) {
    return (ClassOf(c) & kLead) != 0;
}

// 2 when a lead byte at `pos` has a trail byte after it, else 1.
std::size_t CharLength(const char* data, std::size_t size, std::size_t pos) {
    return (ClassOf(data[pos]) & kLead) != 0 && pos + 1 < size && (ClassOf(data[pos + 1]) & kTrail) != 0 ? 2 : 1;
}

// Whether `pos` begins a character, given that `boundary` (<= pos) does. A byte that cannot be a
// trail byte always does. Otherwise the lead bytes right before `pos` pair up from the boundary on:
// each is a valid trail byte itself, so each takes the byte after it.
bool StartsCharacter(const char* data, std::size_t boundary, std::size_t pos) {
    if ((ClassOf(data[pos]) & kTrail) == 0) {
        return true;
    }
    std::size_t run = pos;
    while (run > boundary && IsLeadByte(data[run - 1])) {
        --run;
    }
    return ((pos - run) & 1) == 0;
}

// The first single-byte `c` (below 0x80) at or after `from`, a character boundary, stepping over
// whole characters; npos when none. memchr finds candidates; one that turns out to be a trail byte
// ends its character, so the search goes on after it with a new known boundary, and the look back
// never passes ground already covered.
std::size_t FindChar(std::string_view text, std::size_t from, char c) {
    const char* data = text.data();
    std::size_t boundary = from;
    while (from < text.size()) {
        const void* hit = std::memchr(data + from, c, text.size() - from);
        if (hit == nullptr) {
            return std::string_view::npos;
        }
        const auto pos = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        if (StartsCharacter(data, boundary, pos)) {
            return pos;
        }
        boundary = from = pos + 1;
    }
    return std::string_view::npos;
}

// The first occurrence of `pattern` (starting with a byte below 0x80) that begins on a character
// boundary at or after `from`, itself a boundary.
std::size_t FindOnBoundary(std::string_view text, std::size_t from, std::string_view pattern) {
    const char* data = text.data();
    std::size_t boundary = from;
    while (from < text.size()) {
        const void* hit = std::memchr(data + from, pattern[0], text.size() - from);
        if (hit == nullptr) {
            return std::string_view::npos;
        }
        const auto pos = static_cast<std::size_t>(static_cast<const char*>(hit) - data);
        if (StartsCharacter(data, boundary, pos) && text.substr(pos).starts_with(pattern)) {
            return pos;
        }
        // Whether a trail byte or a single-byte character, it ends where the next one begins.
        boundary = from = pos + 1;
    }
    return std::string_view::npos;
}

std::size_t SkipWhiteSpace(std::string_view text, std::size_t pos) {
    while (pos < text.size() && IsXmlWhiteSpace(text[pos])) {
        ++pos;
    }
    return pos;
}

// Calls `visit` for each attribute of a tag in order until it answers true. Answers the offset
// just past the last attribute looked at (past the tag name when there is none).
template <typename Visit>
std::size_t WalkAttributes(std::string_view tag, Visit&& visit) {
    const std::string_view name = XmlTagName(tag);
    std::size_t pos = static_cast<std::size_t>(name.data() - tag.data()) + name.size();
    std::size_t lastEnd = pos;
    while (true) {
        pos = SkipWhiteSpace(tag, pos);
        if (pos >= tag.size() || tag[pos] == '/' || tag[pos] == '>' || tag[pos] == '?') {
            return lastEnd;
        }
        XmlAttributeSpan span;
        span.nameOffset = pos;
        while (pos < tag.size()) {
            const unsigned char byteClass = ClassOf(tag[pos]);
            if (CharLength(tag.data(), tag.size(), pos) == 2) {
                pos += 2;
            } else if ((byteClass & kEndsAttributeName) != 0) {
                break;
            } else {
                ++pos;
            }
        }
        span.nameLength = pos - span.nameOffset;
        span.end = pos;
        const std::size_t equals = SkipWhiteSpace(tag, pos);
        if (equals < tag.size() && tag[equals] == '=') {
            span.hasValue = true;
            const std::size_t valueStart = SkipWhiteSpace(tag, equals + 1);
            if (valueStart < tag.size() && (tag[valueStart] == '"' || tag[valueStart] == '\'')) {
                // A quote opens a value only right after '=' (white space between allowed), as in
                // the tokenizer, so both agree on where quoted text lies.
                span.quote = tag[valueStart];
                span.valueOffset = valueStart + 1;
                const std::size_t close = FindChar(tag, span.valueOffset, span.quote);
                span.valueLength = (close == std::string_view::npos ? tag.size() : close) - span.valueOffset;
                span.end = close == std::string_view::npos ? tag.size() : close + 1;
            } else {
                // Unquoted: up to white space, '>', another '=' (where the tokenizer may open a
                // quote), or the '/' or '?' that closes the tag.
                std::size_t end = equals + 1;
                while (end < tag.size()) {
                    const std::size_t length = XmlCharLength(tag, end);
                    if (length == 1) {
                        const char c = tag[end];
                        if (IsXmlWhiteSpace(c) || c == '>' || c == '=') {
                            break;
                        }
                        if ((c == '/' || c == '?') && end + 1 < tag.size() && tag[end + 1] == '>') {
                            break;
                        }
                    }
                    end += length;
                }
                span.valueOffset = equals + 1;
                span.valueLength = end - span.valueOffset;
                span.end = end;
            }
        }
        lastEnd = span.end;
        if (visit(span)) {
            return lastEnd;
        }
        if (span.end <= span.nameOffset) {
            return lastEnd;  // no progress: cannot happen, but never loop forever
        }
        pos = span.end;
    }
}

}  // namespace

bool IsXmlWhiteSpace(char c) {
    return (ClassOf(c) & kSpace) != 0;
}

bool IsXmlNameStart(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return c == ':' || (c >= 'A' && c <= 'Z') || c == '_' || (c >= 'a' && c <= 'z') || byte >= 0x7B;
}

std::size_t XmlCharLength(std::string_view text, std::size_t pos) {
    return CharLength(text.data(), text.size(), pos);
}

std::size_t FindXmlChar(std::string_view text, std::size_t from, char c) {
    return FindChar(text, from, c);
}

std::string_view XmlTagName(std::string_view tag) {
    std::size_t start = 1;
    if (tag.size() > 1 && (tag[1] == '/' || tag[1] == '?')) {
        start = 2;
    }
    if (start >= tag.size()) {
        return tag.substr(tag.size());
    }
    std::size_t pos = start;
    while (pos < tag.size()) {
        const unsigned char byteClass = ClassOf(tag[pos]);
        if (CharLength(tag.data(), tag.size(), pos) == 2) {
            pos += 2;
        } else if ((byteClass & kEndsTagName) != 0) {
            break;
        } else {
            ++pos;
        }
    }
    return tag.substr(start, pos - start);
}

bool FindXmlAttribute(std::string_view tag, std::string_view name, XmlAttributeSpan& span) {
    bool found = false;
    WalkAttributes(tag, [&](const XmlAttributeSpan& candidate) {
        if (tag.substr(candidate.nameOffset, candidate.nameLength) == name) {
            span = candidate;
            found = true;
        }
        return found;
    });
    return found;
}

std::size_t XmlAttributesEnd(std::string_view tag) {
    return WalkAttributes(tag, [](const XmlAttributeSpan&) { return false; });
}

std::string ReadXmlAttribute(std::string_view tag, std::string_view name) {
    XmlAttributeSpan span;
    if (!FindXmlAttribute(tag, name, span) || !span.hasValue) {
        return {};
    }
    return DecodeXmlReferences(tag.substr(span.valueOffset, span.valueLength));
}

bool XmlTokenizer::Next(XmlNode& node) {
    if (offset_ >= text_.size()) {
        return false;
    }
    node = XmlNode{};
    node.offset = offset_;
    if (text_[offset_] != '<') {
        ScanContent(node);
        return true;
    }
    if (offset_ + 1 >= text_.size()) {
        Unterminated(node, "tag");
        return true;
    }
    const char next = text_[offset_ + 1];
    if (next == '/') {
        ScanEndTag(node);
    } else if (next == '?') {
        ScanUntil(node, offset_ + 2, "?>", XmlNodeKind::kProcessingInstruction, "processing_instruction");
    } else if (next == '!') {
        ScanExclamation(node);
    } else if (IsXmlNameStart(next)) {
        ScanStartTag(node);
    } else {
        SyntaxError(node, "first_tag_syntax", offset_ + 1);
    }
    return true;
}

void XmlTokenizer::ScanContent(XmlNode& node) {
    // Content between tags is mostly a line break: white space is checked byte by byte, and only
    // text that has something else is searched for the next '<'.
    const char* data = text_.data();
    std::size_t pos = offset_;
    while (pos < text_.size() && (ClassOf(data[pos]) & kSpace) != 0) {
        ++pos;
    }
    if (pos == text_.size() || data[pos] == '<') {
        node.kind = XmlNodeKind::kWhiteSpace;
    } else {
        node.kind = XmlNodeKind::kText;
        pos = FindChar(text_, pos, '<');
        if (pos == std::string_view::npos) {
            pos = text_.size();
        }
    }
    node.length = pos - offset_;
    offset_ = pos;
}

void XmlTokenizer::ScanStartTag(XmlNode& node) {
    // Outside quotes only '>', quotes, '=', '/' and white space matter; a quote right after '='
    // (white space between allowed) opens a value, searched whole for its closing quote.
    const char* data = text_.data();
    const std::size_t size = text_.size();
    std::size_t pos = offset_ + 1;
    bool afterEquals = false;
    bool lastWasSlash = false;
    while (pos < size) {
        const unsigned char byteClass = ClassOf(data[pos]);
        if ((byteClass & kStartTagStop) == 0) {
            // Any other character, single or double byte (a lead byte at the very end too).
            afterEquals = false;
            lastWasSlash = false;
            pos += CharLength(data, size, pos);
            continue;
        }
        const char c = data[pos];
        if (c == '>') {
            node.kind = XmlNodeKind::kStartTag;
            node.emptyElement = lastWasSlash;
            node.length = pos + 1 - offset_;
            offset_ = pos + 1;
            return;
        }
        if ((c == '"' || c == '\'') && afterEquals) {
            const std::size_t close = FindChar(text_, pos + 1, c);
            if (close == std::string_view::npos) {
                break;
            }
            afterEquals = false;
            lastWasSlash = false;
            pos = close + 1;
            continue;
        }
        if (c == '=') {
            afterEquals = true;
        } else if ((byteClass & kSpace) == 0) {
            afterEquals = false;
        }
        lastWasSlash = c == '/';
        ++pos;
    }
    Unterminated(node, "start_tag");
}

void XmlTokenizer::ScanEndTag(XmlNode& node) {
    const std::size_t close = FindChar(text_, offset_ + 2, '>');
    if (close == std::string_view::npos) {
        Unterminated(node, "end_tag");
        return;
    }
    node.kind = XmlNodeKind::kEndTag;
    node.length = close + 1 - offset_;
    offset_ = close + 1;
}

void XmlTokenizer::ScanUntil(XmlNode& node, std::size_t from, std::string_view terminator, XmlNodeKind kind,
                             std::string_view unterminatedType) {
    const std::size_t found = FindOnBoundary(text_, from, terminator);
    if (found == std::string_view::npos) {
        Unterminated(node, unterminatedType);
        return;
    }
    node.kind = kind;
    node.length = found + terminator.size() - offset_;
    offset_ = found + terminator.size();
}

void XmlTokenizer::ScanExclamation(XmlNode& node) {
    const std::size_t kindAt = offset_ + 2;
    if (kindAt >= text_.size()) {
        Unterminated(node, "tag");
        return;
    }
    switch (text_[kindAt]) {
        case '-':
            if (kindAt + 1 >= text_.size()) {
                Unterminated(node, "comment");
            } else if (text_[kindAt + 1] != '-') {
                SyntaxError(node, "comment_tag_syntax", offset_ + 1);
            } else {
                ScanUntil(node, kindAt + 2, "-->", XmlNodeKind::kComment, "comment");
            }
            return;
        case '[':
            if (kindAt + 1 >= text_.size()) {
                Unterminated(node, "cdata_section");
            } else if (text_[kindAt + 1] != 'C') {
                SyntaxError(node, "cdata_section_syntax", offset_ + 1);
            } else {
                ScanUntil(node, kindAt + 2, "]]>", XmlNodeKind::kCdataSection, "cdata_section");
            }
            return;
        case 'D':
            ScanDocumentType(node);
            return;
        default:
            SyntaxError(node, "exclamation_tag_syntax", offset_ + 1);
            return;
    }
}

void XmlTokenizer::ScanDocumentType(XmlNode& node) {
    std::size_t pos = offset_ + 3;
    bool inSubset = false;
    while (pos < text_.size()) {
        const std::size_t length = XmlCharLength(text_, pos);
        const char c = length == 1 ? text_[pos] : '\0';
        if (!inSubset) {
            if (c == '>') {
                node.kind = XmlNodeKind::kDocumentType;
                node.length = pos + 1 - offset_;
                offset_ = pos + 1;
                return;
            }
            if (c == '"' || c == '\'') {
                const std::size_t close = FindChar(text_, pos + 1, c);
                if (close == std::string_view::npos) {
                    break;
                }
                pos = close + 1;
                continue;
            }
            inSubset = c == '[';
            pos += length;
            continue;
        }
        if (c == ']') {
            inSubset = false;
            ++pos;
            continue;
        }
        if (c != '<' || pos + 1 >= text_.size() || (text_[pos + 1] != '!' && text_[pos + 1] != '?')) {
            pos += length;
            continue;
        }
        if (text_[pos + 1] == '?') {
            const std::size_t end = FindOnBoundary(text_, pos + 2, "?>");
            if (end == std::string_view::npos) {
                break;
            }
            pos = end + 2;
            continue;
        }
        // A declaration of the internal subset: "<!--", "<!ATTLIST", "<!ELEMENT", "<!ENTITY",
        // "<!NOTATION".
        if (pos + 2 >= text_.size()) {
            break;
        }
        const char kind = text_[pos + 2];
        if (kind == '-') {
            if (pos + 3 >= text_.size()) {
                break;
            }
            if (text_[pos + 3] != '-') {
                SyntaxError(node, "doctype_tag_syntax", pos + 1);
                return;
            }
            const std::size_t end = FindOnBoundary(text_, pos + 4, "-->");
            if (end == std::string_view::npos) {
                break;
            }
            pos = end + 3;
            continue;
        }
        if (kind != 'A' && kind != 'E' && kind != 'N') {
            SyntaxError(node, "doctype_tag_syntax", pos + 1);
            return;
        }
        // Skip the declaration up to its '>', stepping over quoted literals.
        pos += 3;
        bool closed = false;
        while (pos < text_.size()) {
            const std::size_t step = XmlCharLength(text_, pos);
            const char d = step == 1 ? text_[pos] : '\0';
            if (d == '>') {
                closed = true;
                ++pos;
                break;
            }
            if (d == '"' || d == '\'') {
                const std::size_t close = FindChar(text_, pos + 1, d);
                if (close == std::string_view::npos) {
                    pos = text_.size();
                    break;
                }
                pos = close + 1;
                continue;
            }
            pos += step;
        }
        if (!closed) {
            break;
        }
    }
    Unterminated(node, "document_type");
}

void XmlTokenizer::SyntaxError(XmlNode& node, std::string_view word, std::size_t resumeFrom) {
    // The bad node runs to the next '>' or stops before the next '<'.
    std::size_t pos = resumeFrom;
    std::size_t end = text_.size();
    while (pos < text_.size()) {
        const std::size_t length = XmlCharLength(text_, pos);
        if (length == 1 && text_[pos] == '>') {
            end = pos + 1;
            break;
        }
        if (length == 1 && text_[pos] == '<') {
            end = pos;
            break;
        }
        pos += length;
    }
    node.kind = XmlNodeKind::kSyntaxError;
    node.errorWord = word;
    node.length = end - offset_;
    offset_ = end;
}

void XmlTokenizer::Unterminated(XmlNode& node, std::string_view type) {
    node.kind = XmlNodeKind::kSyntaxError;
    node.errorWord = "unterminated_tag_syntax";
    node.errorType = type;
    node.length = text_.size() - offset_;
    offset_ = text_.size();
}

}  // namespace tarvane
