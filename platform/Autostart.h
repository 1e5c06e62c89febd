#pragma once

#include <string>

namespace voldrane::platform {

// Whether the tray program starts when the user logs in. On Linux this is the user's XDG
// autostart entry, so desktops that follow the autostart rules start it, and the user can
// see and change it in the desktop's own session settings too. Not an office setting: it
// lives outside the settings store and is written the moment it is asked for.

// The entry's file ($XDG_CONFIG_HOME/autostart/com.kestamor.Voldrane.desktop).
std::string AutostartEntryPath();

// True when the entry exists and is not switched off inside (Hidden=true, or GNOME's
// X-GNOME-Autostart-enabled=false).
bool AutostartEnabled();

// Writes an entry that starts `program` (an absolute path), or removes the entry. False,
// with the OS's reason in `error`, when the file cannot be written or removed; removing an
// entry that does not exist succeeds.
bool SetAutostart(bool on, const std::string& program, std::string* error = nullptr);

// The tray program installed beside the running executable: what voldranectl registers.
std::string TrayProgramBesideSelf();

}  // namespace voldrane::platform
