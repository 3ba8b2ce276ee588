#pragma once

#include <QString>

namespace tarvane {

// Launch results follow the old shell convention: above 32 is success.
inline constexpr int kOpenUrlSucceeded = 33;
inline constexpr int kOpenUrlFailed = 2;

inline bool OpenUrlSucceeded(int result) {
    return result > 32;
}

// Hands an address to the desktop's web browser. Tests put a recording fake in its place.
class UrlLauncher {
public:
    virtual ~UrlLauncher() = default;
    // `newWindow` asks for a fresh browser window where the browser can be told so.
    virtual bool Launch(const QString& url, bool newWindow) = 0;
};

// The desktop's default browser: QDesktopServices, then xdg-open with an argument vector.
class DesktopUrlLauncher : public UrlLauncher {
public:
    bool Launch(const QString& url, bool newWindow) override;
};

// Opens `url` in the default browser. An empty address opens nothing and fails; so does an
// address that starts with '-', which a launcher could read as an option.
int OpenUrl(const QString& url, bool openInNewWindow, UrlLauncher& launcher);

}  // namespace tarvane
