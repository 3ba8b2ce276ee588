#include "tarvane/store/xml_result_log.h"

#include "tarvane/store/xml_entities.h"

namespace tarvane {
namespace {

constexpr std::size_t kFullLength = 999;

std::string FormatEntry(const XmlResultLog::Entry& entry) {
    std::string out = "<";
    out += entry.word;
    if (!entry.textName.empty()) {
        out += ' ';
        out += entry.textName;
        out += "=\"";
        out += EscapeXmlAttribute(entry.textValue);
        out += '"';
    }
    if (entry.number) {
        out += ' ';
        out += entry.numberName.empty() ? std::string_view("n") : entry.numberName;
        out += "=\"";
        out += std::to_string(*entry.number);
        out += '"';
    }
    if (entry.offset2) {
        out += " offset2=\"";
        out += std::to_string(*entry.offset2);
        out += '"';
    }
    out += "/>";
    return out;
}

}  // namespace

void XmlResultLog::Add(const Entry& entry) {
    if (text_.size() > kFullLength) {
        return;
    }
    text_ += FormatEntry(entry);
}

void XmlResultLog::Update(const Entry& entry) {
    // Every entry is an empty element written by FormatEntry, and escaped values hold no '>', so
    // the entries are found by their "/>".
    std::size_t pos = 0;
    while (pos < text_.size()) {
        const std::size_t end = text_.find("/>", pos);
        if (end == std::string::npos) {
            break;
        }
        const std::string_view element(text_.data() + pos + 1, end - pos - 1);
        const std::string_view name = element.substr(0, element.find(' '));
        if (name == entry.word) {
            text_.replace(pos, end + 2 - pos, FormatEntry(entry));
            return;
        }
        pos = end + 2;
    }
    Add(entry);
}

}  // namespace tarvane
