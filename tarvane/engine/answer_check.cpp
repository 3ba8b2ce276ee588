#include "tarvane/engine/answer_check.h"

#include <algorithm>
#include <cctype>

namespace tarvane {

namespace {

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// Blanks are few before a page's first tag; a body that is all blanks this far is no page.
constexpr size_t kMostLeadingBlanks = 1024;

}  // namespace

bool IsWebPageType(std::string_view contentType) {
    std::string_view mime = Trimmed(contentType.substr(0, contentType.find(';')));
    return EqualsIgnoringCase(mime, "text/html") || EqualsIgnoringCase(mime, "application/xhtml+xml");
}

MarkupCheck StartsWithMarkup(std::string_view body, bool complete) {
    constexpr std::string_view kMark = "\xEF\xBB\xBF";
    if (body.substr(0, kMark.size()) == kMark) {
        body.remove_prefix(kMark.size());
    } else if (!complete && kMark.substr(0, body.size()) == body) {
        return MarkupCheck::NeedMore;
    }
    size_t start = body.find_first_not_of(" \t\r\n\f");
    if (start == std::string_view::npos) {
        return complete || body.size() > kMostLeadingBlanks ? MarkupCheck::NotMarkup : MarkupCheck::NeedMore;
    }
    body.remove_prefix(start);
    bool undecided = false;
    for (std::string_view tag : {std::string_view("<!doctype"), std::string_view("<html")}) {
        size_t length = std::min(tag.size(), body.size());
        if (EqualsIgnoringCase(body.substr(0, length), tag.substr(0, length))) {
            if (length == tag.size()) {
                return MarkupCheck::Markup;
            }
            undecided = true;
        }
    }
    return undecided && !complete ? MarkupCheck::NeedMore : MarkupCheck::NotMarkup;
}

bool IsWebPageFileType(std::string_view type) {
    return EqualsIgnoringCase(type, "htm") || EqualsIgnoringCase(type, "html");
}

bool IsUsableValidator(std::string_view value) {
    return std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

bool ValidatorsAgree(std::string_view etagA, std::string_view dateA, std::string_view etagB, std::string_view dateB) {
    if (!etagA.empty() && !etagB.empty()) {
        return etagA == etagB;
    }
    return dateA.empty() || dateB.empty() || dateA == dateB;
}

}  // namespace tarvane
