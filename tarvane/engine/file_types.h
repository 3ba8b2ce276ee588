#pragma once

#include <span>
#include <string>
#include <string_view>

namespace tarvane {

struct MimeExtension {
    std::string_view mimeType;
    std::string_view extension;  // without the point
};

// The fixed MIME type to extension table, in lookup order; its keys are unique.
std::span<const MimeExtension> MimeExtensionTable();

// The extension (without the point) of the last path segment of a URL, query and fragment left out;
// empty for text that ParseUrl does not take or a last segment without a point.
std::string ExtensionFromUrl(std::string_view url);

// The extension the table gives a MIME type, compared without ASCII case (two-byte 936 characters as
// units); empty when no key is equal. The text is compared as given, blanks included.
std::string ExtensionForMimeType(std::string_view mimeType);

}  // namespace tarvane
