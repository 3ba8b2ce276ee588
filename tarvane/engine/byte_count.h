#pragma once

#include <cstdint>
#include <string_view>

namespace tarvane {

// A stored byte count: its leading decimal digits (held at INT64_MAX), 0 for anything else. The one
// reading of a count, so that the list and a transfer never disagree on a hand-edited file.
int64_t ParseByteCount(std::string_view text);

}  // namespace tarvane
