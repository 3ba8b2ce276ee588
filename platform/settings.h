#pragma once

#include <string>
#include <string_view>

#include "platform/settings_file.h"

namespace platform {

// The four values of a proxy section ("defaultPxy" or "lastPxy"), as stored (936 text).
struct ProxySettings {
    std::string ip;
    std::string port;
    std::string userName;
    std::string userPwd;
};

// config.ini of a program folder, one accessor per key with its section, default and buffer size.
// Nothing is held between calls: every read asks the file, every write rewrites it. The flags read as
// the stored number, since the programs compare them differently (the sound plays on 1 only).
class Settings {
public:
    explicit Settings(const std::string& programDirectory);

    const SettingsFile& file() const { return file_; }

    int PlayAudioCmp() const;
    int CloseToStay() const;
    int LaunchBySys() const;
    int LoadDefaultPxy() const;
    int MaxTaskNum() const;
    // The stored folder, else `fallback` (the desktop folder, or "" to tell an unset one).
    std::string DefaultPath(std::string_view fallback) const;
    ProxySettings DefaultProxy() const;
    ProxySettings LastProxy() const;
    int Ver() const;

    bool SetPlayAudioCmp(bool on) const;
    bool SetCloseToStay(bool on) const;
    bool SetLaunchBySys(bool on) const;
    bool SetLoadDefaultPxy(bool on) const;
    bool SetMaxTaskNum(std::string_view text) const;
    bool SetDefaultPath(std::string_view folder) const;
    bool SetDefaultProxy(const ProxySettings& proxy) const;
    bool SetLastProxy(const ProxySettings& proxy) const;

private:
    SettingsFile file_;
};

}  // namespace platform
