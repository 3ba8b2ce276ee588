#pragma once

#include <string_view>

namespace tarvane {

// What the first bytes of an answer say about it.
enum class MarkupCheck { NeedMore, Markup, NotMarkup };

// Whether a Content-Type names a web page (text/html, application/xhtml+xml), parameters aside.
bool IsWebPageType(std::string_view contentType);
// Whether a body begins with "<!doctype" or "<html" (any case), after blanks or a byte-order mark;
// NeedMore while the bytes so far cannot tell and the body may go on (`complete` false).
MarkupCheck StartsWithMarkup(std::string_view body, bool complete);
// Whether a file type is a web page's own ("htm", "html"), which may well be markup.
bool IsWebPageFileType(std::string_view type);

// Whether a validator (ETag, Last-Modified) can be kept and sent back: visible ASCII and spaces only.
bool IsUsableValidator(std::string_view value);
// Whether two sets of validators can describe the same file: they differ only where both have one.
bool ValidatorsAgree(std::string_view etagA, std::string_view dateA, std::string_view etagB, std::string_view dateB);

}  // namespace tarvane
