#pragma once

#include <string>

namespace platform {

// Where a user's desktop looks for scheme handlers (UTF-8 paths).
struct UrlSchemeFolders {
    std::string applications;  // $XDG_DATA_HOME/applications, else ~/.local/share/applications
    std::string mimeappsList;  // $XDG_CONFIG_HOME/mimeapps.list, else ~/.config/mimeapps.list
};

UrlSchemeFolders UserUrlSchemeFolders();

inline constexpr char kUrlSchemeDesktopFile[] = "tarvane-url-handler.desktop";

enum class UrlSchemeResult {
    AlreadyRegistered,  // the entry starts this executable and is the default: nothing written
    Written,
    Failed  // the entry or the default could not be written
};

// The Exec value that starts `executable` (UTF-8) with the whole scheme URL as its one argument.
std::string UrlSchemeExec(const std::string& executable);

// Makes `executable` the handler of "tarvane:" links for the user: a desktop entry with
// MimeType=x-scheme-handler/tarvane in the applications folder, made the default in mimeapps.list.
// An entry that starts another program (or this one from another place) is replaced.
UrlSchemeResult RegisterUrlScheme(const std::string& executable, const UrlSchemeFolders& folders);

}  // namespace platform
