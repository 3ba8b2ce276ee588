#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvane {

// Splits narrow code page 936 text into XML nodes. Scanning steps over whole characters: a lead
// byte 0x81-0xFE and the byte after it are one character, so a trail byte never ends a name, a
// value or a tag. Works on any prefix of a text: a node cut off by the end is reported as
// "unterminated_tag_syntax".
enum class XmlNodeKind : unsigned char {
    kWhiteSpace,
    kText,
    kStartTag,
    kEndTag,
    kProcessingInstruction,
    kComment,
    kCdataSection,
    kDocumentType,
    kSyntaxError,
};

struct XmlNode {
    XmlNodeKind kind = XmlNodeKind::kText;
    std::size_t offset = 0;
    std::size_t length = 0;
    // Start tag whose last character before '>' is '/'.
    bool emptyElement = false;
    // kSyntaxError only: the result word ("first_tag_syntax", ..., "unterminated_tag_syntax") and,
    // for an unterminated node, the kind it was ("start_tag", "end_tag", "processing_instruction",
    // "comment", "cdata_section", "document_type" or "tag").
    std::string_view errorWord;
    std::string_view errorType;
};

class XmlTokenizer {
public:
    explicit XmlTokenizer(std::string_view text, std::size_t offset = 0) : text_(text), offset_(offset) {}

    // The node at the current offset; false at the end of the text.
    bool Next(XmlNode& node);
    std::size_t Offset() const { return offset_; }

private:
    void ScanContent(XmlNode& node);
    void ScanStartTag(XmlNode& node);
    void ScanEndTag(XmlNode& node);
    void ScanUntil(XmlNode& node, std::size_t from, std::string_view terminator, XmlNodeKind kind,
                   std::string_view unterminatedType);
    void ScanExclamation(XmlNode& node);
    void ScanDocumentType(XmlNode& node);
    void SyntaxError(XmlNode& node, std::string_view word, std::size_t resumeFrom);
    void Unterminated(XmlNode& node, std::string_view type);

    std::string_view text_;
    std::size_t offset_;
};

bool IsXmlWhiteSpace(char c);
// ':', 'A'-'Z', '_', 'a'-'z' or a byte 0x7B-0xFF.
bool IsXmlNameStart(char c);
// 2 for a lead byte followed by another byte, else 1.
std::size_t XmlCharLength(std::string_view text, std::size_t pos);

// The first single-byte `c` (below 0x80) at or after `from`, which must begin a character,
// stepping over whole characters; npos when none.
std::size_t FindXmlChar(std::string_view text, std::size_t from, char c);

// The name of a tag given as its text from '<': after "<", "</" or "<?" up to the first white
// space, '!', '"', '\'', '/', ';', '<', '=', '>', '?' or backslash.
std::string_view XmlTagName(std::string_view tag);

// Where one attribute of a tag lies, as offsets into the tag text.
struct XmlAttributeSpan {
    std::size_t nameOffset = 0;
    std::size_t nameLength = 0;
    bool hasValue = false;        // an '=' follows the name
    char quote = 0;               // '"' or '\'' for a quoted value, 0 otherwise
    std::size_t valueOffset = 0;  // the value without quotes
    std::size_t valueLength = 0;
    std::size_t end = 0;  // just past the attribute (past the closing quote)
};

// The first attribute of that name in a start tag or processing instruction (its text from '<').
bool FindXmlAttribute(std::string_view tag, std::string_view name, XmlAttributeSpan& span);
// Offset just past the last attribute, or past the tag name when there is none: where a new
// attribute goes.
std::size_t XmlAttributesEnd(std::string_view tag);
// The decoded value of an attribute; empty when absent.
std::string ReadXmlAttribute(std::string_view tag, std::string_view name);

}  // namespace tarvane
