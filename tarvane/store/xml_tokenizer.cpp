#include "tarvane/store/xml_tokenizer.h"

namespace tarvane {

bool XmlTokenizer::Next(XmlNode&) {
    return false;
}
bool IsXmlWhiteSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsXmlNameStart(char) {
    return false;
}
std::size_t XmlCharLength(std::string_view, std::size_t) {
    return 1;
}
std::string_view XmlTagName(std::string_view) {
    return {};
}
bool FindXmlAttribute(std::string_view, std::string_view, XmlAttributeSpan&) {
    return false;
}
std::size_t XmlAttributesEnd(std::string_view) {
    return 0;
}
std::string ReadXmlAttribute(std::string_view, std::string_view) {
    return {};
}

}  // namespace tarvane
