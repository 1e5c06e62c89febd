#pragma once

// Resource and command numbers of the tray program, and the texts of its menu and about box.
// The message texts live in Strings.h.
namespace voldrane::res {

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDI_OFFICE_ITEM = 134;  // an office in a list
inline constexpr int IDI_PRINTER = 135;
inline constexpr int IDI_NETWORK = 137;
inline constexpr int IDB_ABOUT = 141;  // the about box's picture

// The tray icon's id, under which its notifications arrive.
inline constexpr unsigned kTrayIconId = 130;

// Commands of the tray menu.
inline constexpr int ID_CONFIGURE_NETWORKS = 32771;
inline constexpr int ID_NETWORK_AUTODETECT = 32773;
inline constexpr int ID_NETWORK_FIRST = 32774;  // the office at position p has 32774 + p
inline constexpr int ID_NETWORK_LAST = 32873;   // last handled office command (position 99)
inline constexpr int ID_APP_ABOUT = 57664;
inline constexpr int ID_APP_EXIT = 57665;
inline constexpr int ID_HELP_FINDER = 57667;

inline constexpr const char* kMenuConfigureNetworks = "Configure Networks";
inline constexpr const char* kMenuUseNetwork = "Use Network";
inline constexpr const char* kMenuAutoDetect = "Auto-Detect";
inline constexpr const char* kMenuHelp = "Help...";
inline constexpr const char* kMenuAbout = "About...";
inline constexpr const char* kMenuExit = "Exit";

inline constexpr const char* kAboutVersion = "Voldrane \nVersion 1.1";
inline constexpr const char* kAboutText =
    "Makes the printer of the office you are in your default printer.\n"
    "Copyright \xC2\xA9 2026 Kestamor";
inline constexpr const char* kAboutOk = "OK";

// The application id: the .desktop file's name and the installed icon's name.
inline constexpr const char* kDesktopId = "com.kestamor.Voldrane";

}  // namespace voldrane::res
