#pragma once

#include <string>
#include <string_view>

namespace tarvane {

// Decodes the character references of an attribute value held in code page 936: the five XML
// entities, decimal and hexadecimal references, and the HTML 4.01 entity names (plus "apos")
// looked up in lower case. Names that differ only in letter case ("Agrave" and "agrave") both
// give the small letter. A reference not in the table, without ';' within 10 characters, or whose
// character code page 936 cannot hold stays as written.
std::string DecodeXmlReferences(std::string_view raw);

// The code point of an entity name after lower-casing it, or 0 when the table lacks it.
char32_t LookupEntityName(std::string_view name);

// A value as an attribute keeps it: valid 936 text, control characters but the blanks as "?".
std::string StorableText(std::string_view value);

// Escapes a value for a quoted attribute: & < > " ' become references.
std::string EscapeXmlAttribute(std::string_view value);
// Escapes element content: & < > become references.
std::string EscapeXmlContent(std::string_view text);

}  // namespace tarvane
