#pragma once

#include <string>

namespace tarvane {

// The entry that starts the program hidden when the user logs in.
class AutostartEntry {
public:
    virtual ~AutostartEntry() = default;
    // Writes the entry; false when it could not be written.
    virtual bool Add() = 0;
    // Removes the entry; a missing entry is no error. False when the entry could not be reached.
    virtual bool Remove() = 0;
};

// "Orkaset.desktop" in an XDG autostart folder, starting the executable with " -hide".
class XdgAutostart : public AutostartEntry {
public:
    // Both UTF-8.
    XdgAutostart(std::string autostartFolder, std::string executablePath);
    // $XDG_CONFIG_HOME/autostart (~/.config/autostart when unset) and the running executable.
    static XdgAutostart ForCurrentUser();

    bool Add() override;
    bool Remove() override;

    std::string EntryPath() const;
    // The desktop entry's text.
    std::string EntryText() const;

private:
    std::string folder_;
    std::string executable_;
};

}  // namespace tarvane
