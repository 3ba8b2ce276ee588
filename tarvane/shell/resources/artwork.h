#pragma once

// Paths of the compiled-in artwork. Call InitArtwork() once after the QApplication exists so the
// resources of this static library are registered.
namespace tarvane::artwork {

void InitArtwork();

// Window background, 983 x 611, stretched over the whole client area.
inline constexpr char kBackground[] = ":/tarvane/background.png";

// Toolbar strips, 261 x 47: three images of 87 (normal, pressed, hover).
inline constexpr char kToolbarNew[] = ":/tarvane/toolbar_new.png";
inline constexpr char kToolbarStart[] = ":/tarvane/toolbar_start.png";
inline constexpr char kToolbarPause[] = ":/tarvane/toolbar_pause.png";
inline constexpr char kToolbarDelete[] = ":/tarvane/toolbar_delete.png";
inline constexpr char kToolbarOptions[] = ":/tarvane/toolbar_options.png";
inline constexpr char kToolbarHelp[] = ":/tarvane/toolbar_help.png";
inline constexpr char kToolbarAbout[] = ":/tarvane/toolbar_about.png";

// Close and minimise strips, 66 x 22: three images of 22 (normal, pressed, hover).
inline constexpr char kClose[] = ":/tarvane/close.png";
inline constexpr char kMinimise[] = ":/tarvane/minimise.png";

// Window and tray icon, 256 x 256.
inline constexpr char kMainIcon[] = ":/tarvane/main_icon.png";

// Task row images, 16 x 16, in image-list order: idle, failed, downloading.
inline constexpr char kRowIdle[] = ":/tarvane/row_idle.png";
inline constexpr char kRowFailed[] = ":/tarvane/row_failed.png";
inline constexpr char kRowDownloading[] = ":/tarvane/row_downloading.png";

}  // namespace tarvane::artwork
