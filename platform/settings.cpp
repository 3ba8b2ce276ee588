#include "platform/settings.h"

#include <algorithm>
#include <cstdlib>

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

int CountFromText(std::string_view text, int most, int fallback) {
    std::string copy(text);
    char* end = nullptr;
    // Beyond the range of long long, strtoll gives its limits, which the clamp keeps.
    long long count = std::strtoll(copy.c_str(), &end, 10);
    if (end == copy.c_str()) {
        return fallback;
    }
    return static_cast<int>(std::clamp<long long>(count, keys::kFewestConnections, most));
}

}  // namespace

int MaxConnectionsFromText(std::string_view text) {
    return CountFromText(text, keys::kMostConnections, keys::kDefaultMaxConnections);
}

int MaxConnectionsPerHostFromText(std::string_view text) {
    return CountFromText(text, keys::kMostConnectionsPerHost, keys::kDefaultMaxConnectionsPerHost);
}

long long MaxSpeedFromText(std::string_view text) {
    std::string copy(text);
    char* end = nullptr;
    long long speed = std::strtoll(copy.c_str(), &end, 10);
    return end == copy.c_str() ? 0 : std::clamp<long long>(speed, 0, keys::kMostSpeed);
}

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

int Settings::AutoExtract() const {
    return file_.ReadInt(keys::kOptions, keys::kAutoExtract, keys::kDefaultAutoExtract);
}

int Settings::DeleteArchiveAfterExtract() const {
    return file_.ReadInt(keys::kOptions, keys::kDeleteArchiveAfterExtract, keys::kDefaultDeleteArchiveAfterExtract);
}

int Settings::MaxConnections() const {
    return MaxConnectionsFromText(file_.ReadString(keys::kOptions, keys::kMaxConnections, "", keys::kProxyBufferSize));
}

int Settings::MaxConnectionsPerHost() const {
    return MaxConnectionsPerHostFromText(
        file_.ReadString(keys::kOptions, keys::kMaxConnectionsPerHost, "", keys::kProxyBufferSize));
}

long long Settings::MaxSpeed() const {
    return MaxSpeedFromText(file_.ReadString(keys::kOptions, keys::kMaxSpeed, "", keys::kProxyBufferSize));
}

long long Settings::LastMaxSpeed() const {
    return MaxSpeedFromText(file_.ReadString(keys::kOptions, keys::kLastMaxSpeed, "", keys::kProxyBufferSize));
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
    return SettingsChanges(*this).PlayAudioCmp(on).Save() == 0;
}

bool Settings::SetCloseToStay(bool on) const {
    return SettingsChanges(*this).CloseToStay(on).Save() == 0;
}

bool Settings::SetLaunchBySys(bool on) const {
    return SettingsChanges(*this).LaunchBySys(on).Save() == 0;
}

bool Settings::SetLoadDefaultPxy(bool on) const {
    return SettingsChanges(*this).LoadDefaultPxy(on).Save() == 0;
}

bool Settings::SetMaxTaskNum(std::string_view text) const {
    return SettingsChanges(*this).MaxTaskNum(text).Save() == 0;
}

bool Settings::SetMaxConnections(int count) const {
    return SettingsChanges(*this).MaxConnections(count).Save() == 0;
}

bool Settings::SetMaxSpeed(long long kbPerSecond) const {
    return SettingsChanges(*this).MaxSpeed(kbPerSecond).Save() == 0;
}

bool Settings::SetDefaultPath(std::string_view folder) const {
    return SettingsChanges(*this).DefaultPath(folder).Save() == 0;
}

bool Settings::SetDefaultProxy(const ProxySettings& proxy) const {
    return SettingsChanges(*this).DefaultProxy(proxy).Save() == 0;
}

bool Settings::SetLastProxy(const ProxySettings& proxy) const {
    return SettingsChanges(*this).LastProxy(proxy).Save() == 0;
}

SettingsChanges& SettingsChanges::Set(std::string_view section, std::string_view key, std::string_view value) {
    entries_.push_back({std::string(section), std::string(key), std::string(value)});
    return *this;
}

SettingsChanges& SettingsChanges::SetProxy(std::string_view section, const ProxySettings& proxy) {
    Set(section, keys::kProxyIp, proxy.ip);
    Set(section, keys::kProxyPort, proxy.port);
    Set(section, keys::kProxyUserName, proxy.userName);
    return Set(section, keys::kProxyUserPwd, proxy.userPwd);
}

SettingsChanges& SettingsChanges::PlayAudioCmp(bool on) {
    return Set(keys::kOptions, keys::kPlayAudioCmp, on ? "1" : "0");
}

SettingsChanges& SettingsChanges::CloseToStay(bool on) {
    return Set(keys::kOptions, keys::kCloseToStay, on ? "1" : "0");
}

SettingsChanges& SettingsChanges::LaunchBySys(bool on) {
    return Set(keys::kOptions, keys::kLaunchBySys, on ? "1" : "0");
}

SettingsChanges& SettingsChanges::LoadDefaultPxy(bool on) {
    return Set(keys::kOptions, keys::kLoadDefaultPxy, on ? "1" : "0");
}

SettingsChanges& SettingsChanges::MaxTaskNum(std::string_view text) {
    return Set(keys::kOptions, keys::kMaxTaskNum, text);
}

SettingsChanges& SettingsChanges::AutoExtract(bool on) {
    return Set(keys::kOptions, keys::kAutoExtract, on ? "1" : "0");
}

SettingsChanges& SettingsChanges::DeleteArchiveAfterExtract(bool on) {
    return Set(keys::kOptions, keys::kDeleteArchiveAfterExtract, on ? "1" : "0");
}

SettingsChanges& SettingsChanges::MaxConnections(int count) {
    count = std::clamp(count, keys::kFewestConnections, keys::kMostConnections);
    return Set(keys::kOptions, keys::kMaxConnections, std::to_string(count));
}

SettingsChanges& SettingsChanges::MaxConnectionsPerHost(int count) {
    count = std::clamp(count, keys::kFewestConnections, keys::kMostConnectionsPerHost);
    return Set(keys::kOptions, keys::kMaxConnectionsPerHost, std::to_string(count));
}

SettingsChanges& SettingsChanges::MaxSpeed(long long kbPerSecond) {
    // Only a limit stored as asked is one the tray may switch back to.
    if (kbPerSecond > 0 && kbPerSecond <= keys::kMostSpeed) {
        Set(keys::kOptions, keys::kLastMaxSpeed, std::to_string(kbPerSecond));
    }
    kbPerSecond = std::clamp<long long>(kbPerSecond, 0, keys::kMostSpeed);
    return Set(keys::kOptions, keys::kMaxSpeed, std::to_string(kbPerSecond));
}

SettingsChanges& SettingsChanges::DefaultPath(std::string_view folder) {
    return Set(keys::kOptions, keys::kDefaultPath, folder);
}

SettingsChanges& SettingsChanges::DefaultProxy(const ProxySettings& proxy) {
    return SetProxy(keys::kDefaultPxy, proxy);
}

SettingsChanges& SettingsChanges::LastProxy(const ProxySettings& proxy) {
    return SetProxy(keys::kLastPxy, proxy);
}

}  // namespace platform
