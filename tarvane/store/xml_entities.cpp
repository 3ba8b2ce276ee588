#include "tarvane/store/xml_entities.h"

namespace tarvane {

std::string DecodeXmlReferences(std::string_view raw) {
    return std::string(raw);
}
char32_t LookupEntityName(std::string_view) {
    return 0;
}
std::string EscapeXmlAttribute(std::string_view value) {
    return std::string(value);
}
std::string EscapeXmlContent(std::string_view text) {
    return std::string(text);
}

}  // namespace tarvane
