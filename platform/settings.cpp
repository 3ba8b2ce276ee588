#include "platform/settings.h"

#include "platform/settings_keys.h"

namespace platform {
namespace {

namespace keys = settings;

ProxySettings ReadProxy(const SettingsFile& file, std::string_view section) {
    auto read = [&](std::string_view key, std::string_view fallback) {
        return file.ReadString(section, key, fallback, keys::kProxyBufferSize);
    };
    return {read(keys::kProxyIp, keys::kDefaultProxyIp), read(keys::kProxyPort, keys::kDefaultProxyPort),
            read(keys::kProxyUserName, keys::kDefaultProxyUserName),
            read(keys::kProxyUserPwd, keys::kDefaultProxyUserPwd)};
}

// Every key is written even after a failed one, as separate writes always did.
bool WriteProxy(const SettingsFile& file, std::string_view section, const ProxySettings& proxy) {
    bool ok = file.WriteString(section, keys::kProxyIp, proxy.ip);
    ok = file.WriteString(section, keys::kProxyPort, proxy.port) && ok;
    ok = file.WriteString(section, keys::kProxyUserName, proxy.userName) && ok;
    return file.WriteString(section, keys::kProxyUserPwd, proxy.userPwd) && ok;
}

bool WriteFlag(const SettingsFile& file, std::string_view key, bool on) {
    return file.WriteString(keys::kOptions, key, on ? "1" : "0");
}

}  // namespace

Settings::Settings(const std::string& programDirectory) : file_(programDirectory + std::string(keys::kFileName)) {}

int Settings::PlayAudioCmp() const {
    return file_.ReadInt(keys::kOptions, keys::kPlayAudioCmp, keys::kDefaultPlayAudioCmp);
}

int Settings::CloseToStay() const {
    return file_.ReadInt(keys::kOptions, keys::kCloseToStay, keys::kDefaultCloseToStay);
}

int Settings::LaunchBySys() const {
    return file_.ReadInt(keys::kOptions, keys::kLaunchBySys, keys::kDefaultLaunchBySys);
}

int Settings::LoadDefaultPxy() const {
    return file_.ReadInt(keys::kOptions, keys::kLoadDefaultPxy, keys::kDefaultLoadDefaultPxy);
}

int Settings::MaxTaskNum() const {
    return file_.ReadInt(keys::kOptions, keys::kMaxTaskNum, keys::kDefaultMaxTaskNum);
}

std::string Settings::DefaultPath(std::string_view fallback) const {
    return file_.ReadString(keys::kOptions, keys::kDefaultPath, fallback, keys::kPathBufferSize);
}

ProxySettings Settings::DefaultProxy() const {
    return ReadProxy(file_, keys::kDefaultPxy);
}

ProxySettings Settings::LastProxy() const {
    return ReadProxy(file_, keys::kLastPxy);
}

int Settings::Ver() const {
    return file_.ReadInt(keys::kMain, keys::kVer, keys::kDefaultVer);
}

bool Settings::SetPlayAudioCmp(bool on) const {
    return WriteFlag(file_, keys::kPlayAudioCmp, on);
}

bool Settings::SetCloseToStay(bool on) const {
    return WriteFlag(file_, keys::kCloseToStay, on);
}

bool Settings::SetLaunchBySys(bool on) const {
    return WriteFlag(file_, keys::kLaunchBySys, on);
}

bool Settings::SetLoadDefaultPxy(bool on) const {
    return WriteFlag(file_, keys::kLoadDefaultPxy, on);
}

bool Settings::SetMaxTaskNum(std::string_view text) const {
    return file_.WriteString(keys::kOptions, keys::kMaxTaskNum, text);
}

bool Settings::SetDefaultPath(std::string_view folder) const {
    return file_.WriteString(keys::kOptions, keys::kDefaultPath, folder);
}

bool Settings::SetDefaultProxy(const ProxySettings& proxy) const {
    return WriteProxy(file_, keys::kDefaultPxy, proxy);
}

bool Settings::SetLastProxy(const ProxySettings& proxy) const {
    return WriteProxy(file_, keys::kLastPxy, proxy);
}

}  // namespace platform
