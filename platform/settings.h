#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/settings_file.h"

namespace platform {

// The four values of a proxy section ("defaultPxy" or "lastPxy"), as stored (936 text).
struct ProxySettings {
    std::string ip;
    std::string port;
    std::string userName;
    std::string userPwd;
};

// The connection limit a stored or typed text stands for: its leading number (blanks and a sign
// allowed) kept within 1 to 16; 8 when the text has none.
int MaxConnectionsFromText(std::string_view text);
// The same for the connections of all tasks to one host: within 1 to 32, 16 when the text has none.
int MaxConnectionsPerHostFromText(std::string_view text);
// The speed limit (KB/s) a stored or typed text stands for: its leading number kept within 0 to
// kMostSpeed; 0 (no limit) when the text has none.
long long MaxSpeedFromText(std::string_view text);

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
    int AutoExtract() const;
    int DeleteArchiveAfterExtract() const;
    int MaxConnections() const;
    int MaxConnectionsPerHost() const;
    long long MaxSpeed() const;
    // The last limit other than none, for switching the limit back on.
    long long LastMaxSpeed() const;
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
    bool SetMaxConnections(int count) const;
    bool SetMaxSpeed(long long kbPerSecond) const;
    bool SetDefaultPath(std::string_view folder) const;
    bool SetDefaultProxy(const ProxySettings& proxy) const;
    bool SetLastProxy(const ProxySettings& proxy) const;

private:
    SettingsFile file_;
};

// Changes to config.ini gathered and then written in one replace of the file, so that they are stored
// all together or not at all. Values take the forms of Settings' setters.
class SettingsChanges {
public:
    explicit SettingsChanges(const Settings& settings) : file_(settings.file()) {}

    SettingsChanges& PlayAudioCmp(bool on);
    SettingsChanges& CloseToStay(bool on);
    SettingsChanges& LaunchBySys(bool on);
    SettingsChanges& LoadDefaultPxy(bool on);
    SettingsChanges& MaxTaskNum(std::string_view text);
    SettingsChanges& AutoExtract(bool on);
    SettingsChanges& DeleteArchiveAfterExtract(bool on);
    SettingsChanges& MaxConnections(int count);         // kept within 1 to 16
    SettingsChanges& MaxConnectionsPerHost(int count);  // kept within 1 to 32
    // Kept within 0 to kMostSpeed; a limit other than none that needs no clamp is also kept as the
    // last one.
    SettingsChanges& MaxSpeed(long long kbPerSecond);
    SettingsChanges& DefaultPath(std::string_view folder);
    SettingsChanges& DefaultProxy(const ProxySettings& proxy);
    SettingsChanges& LastProxy(const ProxySettings& proxy);

    // 0 when stored, else the errno of SettingsFile::WriteStrings.
    int Save() const { return file_.WriteStrings(entries_); }

private:
    SettingsChanges& Set(std::string_view section, std::string_view key, std::string_view value);
    SettingsChanges& SetProxy(std::string_view section, const ProxySettings& proxy);

    SettingsFile file_;
    std::vector<IniEntry> entries_;
};

}  // namespace platform
