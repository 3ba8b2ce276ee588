#pragma once

#include <array>
#include <cstddef>
#include <string_view>

namespace platform::settings {

// Sections and keys of config.ini with their defaults; the default of "defaultPath" is DesktopFolder().
inline constexpr std::string_view kFileName = "config.ini";

// Buffer sizes the readers use: paths, and proxy fields.
inline constexpr std::size_t kPathBufferSize = 3000;
inline constexpr std::size_t kProxyBufferSize = 260;

inline constexpr std::string_view kOptions = "options";
inline constexpr std::string_view kPlayAudioCmp = "playAudioCmp";
inline constexpr std::string_view kCloseToStay = "closeToStay";
inline constexpr std::string_view kLaunchBySys = "launchBySys";
inline constexpr std::string_view kLoadDefaultPxy = "loadDefaultPxy";
inline constexpr std::string_view kMaxTaskNum = "maxTaskNum";
inline constexpr std::string_view kDefaultPath = "defaultPath";
inline constexpr std::string_view kMaxConnections = "maxConnections";
inline constexpr std::string_view kMaxConnectionsPerHost = "maxConnectionsPerHost";
inline constexpr std::string_view kMaxSpeed = "maxSpeed";
inline constexpr std::string_view kLastMaxSpeed = "lastMaxSpeed";
inline constexpr std::string_view kAutoExtract = "autoExtract";
inline constexpr std::string_view kDeleteArchiveAfterExtract = "deleteArchiveAfterExtract";
inline constexpr int kDefaultPlayAudioCmp = 1;
inline constexpr int kDefaultCloseToStay = 1;
inline constexpr int kDefaultLaunchBySys = 0;
inline constexpr int kDefaultLoadDefaultPxy = 0;
inline constexpr int kDefaultMaxTaskNum = 5;
// A finished game archive is unpacked into a folder beside it; the archive stays unless asked.
inline constexpr int kDefaultAutoExtract = 1;
inline constexpr int kDefaultDeleteArchiveAfterExtract = 0;
// Connections one task may open at once.
inline constexpr int kDefaultMaxConnections = 8;
inline constexpr int kFewestConnections = 1;
inline constexpr int kMostConnections = 16;
// Connections all tasks together may open to one host.
inline constexpr int kDefaultMaxConnectionsPerHost = 16;
inline constexpr int kMostConnectionsPerHost = 32;
// The speed limit of all downloads together, KB/s; 0 is none.
inline constexpr long long kMostSpeed = 1024 * 1024;

// "defaultPxy" and "lastPxy" hold the same four keys.
inline constexpr std::string_view kDefaultPxy = "defaultPxy";
inline constexpr std::string_view kLastPxy = "lastPxy";
inline constexpr std::string_view kProxyIp = "ip";
inline constexpr std::string_view kProxyPort = "port";
inline constexpr std::string_view kProxyUserName = "userName";
inline constexpr std::string_view kProxyUserPwd = "userPwd";
inline constexpr std::string_view kDefaultProxyIp = "127.0.0.1";
inline constexpr std::string_view kDefaultProxyPort = "8000";
inline constexpr std::string_view kDefaultProxyUserName = "";
inline constexpr std::string_view kDefaultProxyUserPwd = "";

// The five most recently used save folders, newest first.
inline constexpr std::string_view kLastPath = "lastPath";
inline constexpr std::array<std::string_view, 5> kLastPathKeys = {"p1", "p2", "p3", "p4", "p5"};

inline constexpr std::string_view kMain = "main";
inline constexpr std::string_view kVer = "Ver";
inline constexpr int kDefaultVer = 1;

}  // namespace platform::settings
