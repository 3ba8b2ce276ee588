#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarvane {

// Standard Base64 (RFC 4648): "+" and "/", "=" padding, no line breaks.
std::string Base64Encode(std::string_view bytes);

// Decodes groups of four from the start of `text` into `out` (replacing what it held) and answers the
// number of bytes written. Decoding stops at the end of the text, at a group that does not begin with
// an alphabet character (a line break, "=") or after a padded group; what follows is ignored.
// A malformed group answers -1; `out` then holds the bytes of the groups before it.
std::ptrdiff_t Base64Decode(std::string_view text, std::string& out);

}  // namespace tarvane
