#pragma once

namespace platform {

// The caption of the main window and of every message box; the hand-off socket is named after it.
inline constexpr char kCaption[] = "Quellora";

}  // namespace platform
