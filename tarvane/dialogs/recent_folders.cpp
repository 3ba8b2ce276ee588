#include "tarvane/dialogs/recent_folders.h"

#include <array>

#include "platform/settings_keys.h"

namespace tarvane {

namespace keys = platform::settings;

namespace {

std::array<std::string, 5> ReadAll(const platform::SettingsFile& settings) {
    std::array<std::string, 5> entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i] = settings.ReadString(keys::kLastPath, keys::kLastPathKeys[i], "", keys::kPathBufferSize);
    }
    return entries;
}

}  // namespace

std::vector<std::string> ReadRecentFolders(const platform::SettingsFile& settings) {
    std::vector<std::string> folders;
    for (const std::string& entry : ReadAll(settings)) {
        if (entry.empty()) {
            break;
        }
        folders.push_back(entry);
    }
    return folders;
}

void UpdateRecentFolders(const platform::SettingsFile& settings, const std::string& chosen) {
    const std::array<std::string, 5> old = ReadAll(settings);
    bool found = false;
    for (std::size_t i = 0; i < old.size(); ++i) {
        if (old[i] == chosen) {
            found = true;
            settings.WriteString(keys::kLastPath, keys::kLastPathKeys[0], chosen);
            settings.WriteString(keys::kLastPath, keys::kLastPathKeys[i], old[0]);
        }
    }
    if (found) {
        return;
    }
    settings.WriteString(keys::kLastPath, keys::kLastPathKeys[0], chosen);
    for (std::size_t i = 1; i < old.size(); ++i) {
        settings.WriteString(keys::kLastPath, keys::kLastPathKeys[i], old[i - 1]);
    }
}

}  // namespace tarvane
