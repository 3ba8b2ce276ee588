#include "tarvane/store/xml_document.h"

namespace tarvane {

XmlDocument::~XmlDocument() = default;
bool XmlDocument::SetText() {
    return false;
}
bool XmlDocument::SetText(std::string_view) {
    return false;
}
bool XmlDocument::SetText(std::string&&) {
    return false;
}
bool XmlDocument::LoadFile(const std::string&) {
    return false;
}
bool XmlDocument::SaveFile(const std::string&) {
    return false;
}
bool XmlDocument::FindElement(std::string_view) {
    return false;
}
bool XmlDocument::EnterElement() {
    return false;
}
std::string XmlDocument::GetAttribute(std::string_view) const {
    return {};
}
bool XmlDocument::SetAttribute(std::string_view, std::string_view) {
    return false;
}
bool XmlDocument::SetAttribute(std::string_view, std::int32_t) {
    return false;
}
bool XmlDocument::AppendElement(std::string_view, std::string_view) {
    return false;
}
bool XmlDocument::InsertElement(std::string_view, std::string_view) {
    return false;
}
bool XmlDocument::RemoveElement() {
    return false;
}
std::uint32_t XmlDocument::RootElement() const {
    return 0;
}
bool XmlDocument::IsWellFormed() const {
    return false;
}
bool XmlDocument::GetElementInfo(std::uint32_t, ElementInfo&) const {
    return false;
}
std::string_view XmlDocument::ElementName(std::uint32_t) const {
    return {};
}

}  // namespace tarvane
