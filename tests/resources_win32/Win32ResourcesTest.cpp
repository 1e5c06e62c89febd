// The resources that windres compiles into voldrane.exe, read back from this test program,
// which links the same object library. No window is created: templates, menus and icon
// directories are read as data.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <cwctype>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "res/Resource.h"
#include "res/Strings.h"
#include "res/win32/Win32Ids.h"

namespace voldrane::res {
namespace {

std::wstring Wide(std::string_view utf8) {
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string Narrow(const std::wstring& wide) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                      nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n,
                        nullptr, nullptr);
    return out;
}

std::string_view Resource(int id, LPCWSTR type) {
    HRSRC found = FindResourceW(nullptr, MAKEINTRESOURCEW(id), type);
    if (!found) return {};
    HGLOBAL loaded = LoadResource(nullptr, found);
    return {static_cast<const char*>(LockResource(loaded)), SizeofResource(nullptr, found)};
}

// One control of a DIALOGEX template.
struct Control {
    int id;
    std::wstring cls;  // predefined classes by name: Button, Edit, Static, ComboBox
    std::wstring text;
    DWORD style;
};

// Reads a DLGTEMPLATEEX (the layout windres writes for DIALOGEX): header, then the items,
// each aligned to 4 bytes.
class TemplateReader {
  public:
    explicit TemplateReader(std::string_view data) : m_data(data) {}

    std::vector<Control> Controls() {
        Skip(2 + 2 + 4 + 4);  // version, signature, help id, extended style
        const DWORD style = Read<DWORD>();
        const WORD count = Read<WORD>();
        Skip(4 * 2);      // x, y, cx, cy
        NameOrOrdinal();  // menu
        NameOrOrdinal();  // class
        String();         // caption
        if (style & (DS_SETFONT | DS_SHELLFONT)) {
            Skip(2 + 2 + 1 + 1);  // size, weight, italic, charset
            String();             // typeface
        }
        std::vector<Control> controls;
        for (WORD i = 0; i < count; ++i) {
            Align();
            Control c{};
            Skip(4 + 4);  // help id, extended style
            c.style = Read<DWORD>();
            Skip(4 * 2);
            c.id = static_cast<int>(Read<LONG>());
            c.cls = NameOrOrdinal();
            c.text = NameOrOrdinal();
            Skip(Read<WORD>());  // creation data
            controls.push_back(c);
        }
        return controls;
    }

  private:
    template <typename T>
    T Read() {
        T value;
        std::memcpy(&value, m_data.data() + m_at, sizeof value);
        m_at += sizeof value;
        return value;
    }
    void Skip(size_t n) { m_at += n; }
    void Align() { m_at = (m_at + 3) & ~size_t{3}; }
    std::wstring String() {
        std::wstring s;
        for (wchar_t c; (c = Read<wchar_t>()) != 0;) s += c;
        return s;
    }
    std::wstring NameOrOrdinal() {
        std::memcpy(&m_peek, m_data.data() + m_at, sizeof m_peek);
        if (m_peek != 0xFFFF) return String();
        Skip(2);
        switch (const WORD atom = Read<WORD>()) {
            case 0x80:
                return L"Button";
            case 0x81:
                return L"Edit";
            case 0x82:
                return L"Static";
            case 0x85:
                return L"ComboBox";
            default:
                return L"#" + std::to_wstring(atom);
        }
    }

    std::string_view m_data;
    size_t m_at = 0;
    WORD m_peek = 0;
};

std::vector<Control> DialogControls(int id) {
    const std::string_view data = Resource(id, MAKEINTRESOURCEW(5));  // RT_DIALOG
    if (data.empty()) return {};
    return TemplateReader(data).Controls();
}

// Window class names are compared without case; windres writes them in capitals.
std::wstring Upper(std::wstring s) {
    for (wchar_t& c : s) c = static_cast<wchar_t>(std::towupper(c));
    return s;
}

const Control* Find(const std::vector<Control>& controls, int id) {
    for (const Control& c : controls)
        if (c.id == id) return &c;
    return nullptr;
}

wchar_t AccessKey(const std::wstring& text) {
    for (size_t i = 0; i + 1 < text.size(); ++i) {
        if (text[i] == L'&' && text[i + 1] == L'&')
            ++i;
        else if (text[i] == L'&')
            return static_cast<wchar_t>(std::towlower(text[i + 1]));
    }
    return 0;
}

// Access keys differ within a dialog, and a label's key reaches the control after it: the
// dialog manager moves the focus from a static text to the next control in template order.
void ExpectAccessKeys(int dialog) {
    const std::vector<Control> controls = DialogControls(dialog);
    ASSERT_FALSE(controls.empty()) << "dialog " << dialog;
    std::map<wchar_t, std::wstring> used;
    for (size_t i = 0; i < controls.size(); ++i) {
        const wchar_t key = AccessKey(controls[i].text);
        if (!key || (controls[i].style & SS_NOPREFIX && controls[i].cls == L"Static")) continue;
        auto [it, fresh] = used.emplace(key, controls[i].text);
        EXPECT_TRUE(fresh) << "dialog " << dialog << ": \"" << Narrow(controls[i].text)
                           << "\" and \"" << Narrow(it->second) << "\" share a key";
        if (controls[i].cls == L"Static") {
            ASSERT_LT(i + 1, controls.size()) << Narrow(controls[i].text);
            EXPECT_TRUE(controls[i + 1].style & WS_TABSTOP)
                << "dialog " << dialog << ": the label \"" << Narrow(controls[i].text)
                << "\" is not followed by the control it names";
        }
    }
}

}  // namespace

TEST(Win32ResourcesTest, StringTableHoldsTheSharedTexts) {
    const std::pair<int, const char*> strings[] = {
        {IDR_MAINFRAME, kMainFrameString},
        {IDS_APP_TITLE, kAppTitle},
        {IDS_ASK_DELETE_OFFICE, kAskDeleteOffice},
        {IDS_ASK_USE_CURRENT_NETWORK, kAskUseCurrentNetwork},
        {IDS_ASK_ADD_CURRENT_NETWORK, kAskAddCurrentNetwork},
        {IDS_NO_OFFICE_NETWORKS, kNoOfficeNetworks},
        {IDS_CANNOT_DETERMINE_OFFICE, kCannotDetermineOffice},
        {IDS_APPLIED_OFFICE_REMOVED, kAppliedOfficeRemoved},
    };
    for (const auto& [id, text] : strings) {
        const wchar_t* loaded = nullptr;
        const int n =
            LoadStringW(nullptr, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&loaded), 0);
        ASSERT_GT(n, 0) << "string " << id;
        EXPECT_EQ(std::wstring(loaded, static_cast<size_t>(n)), Wide(text)) << "string " << id;
    }
}

// Texts with escapes and joined literals come through the #define header unchanged: the about
// box's newline and copyright sign.
TEST(Win32ResourcesTest, AboutBoxShowsTheSharedTexts) {
    const std::vector<Control> controls = DialogControls(IDD_ABOUTBOX);
    const Control* version = Find(controls, IDC_ABOUT_VERSION);
    const Control* text = Find(controls, IDC_ABOUT_TEXT);
    const Control* ok = Find(controls, IDOK);
    ASSERT_TRUE(version && text && ok);
    EXPECT_EQ(version->text, Wide(kAboutVersion));
    EXPECT_EQ(text->text, Wide(kAboutText));
    EXPECT_NE(text->text.find(L'\u00A9'), std::wstring::npos);
    EXPECT_EQ(ok->text, Wide(kAboutOk));
}

TEST(Win32ResourcesTest, TrayMenuHasTheCommandsInOrder) {
    HMENU menu = LoadMenuW(nullptr, MAKEINTRESOURCEW(IDR_TRAYMENU));
    ASSERT_NE(menu, nullptr);
    HMENU popup = GetSubMenu(menu, 0);
    ASSERT_NE(popup, nullptr);
    auto text = [](HMENU m, int position) {
        wchar_t buffer[128] = {};
        GetMenuStringW(m, static_cast<UINT>(position), buffer, 128, MF_BYPOSITION);
        return std::wstring(buffer);
    };
    const std::pair<int, const char*> items[] = {{ID_CONFIGURE_NETWORKS, kMenuConfigureNetworks},
                                                 {-1, kMenuUseNetwork},
                                                 {0, nullptr},
                                                 {ID_HELP_FINDER, kMenuHelp},
                                                 {ID_APP_ABOUT, kMenuAbout},
                                                 {0, nullptr},
                                                 {ID_APP_EXIT, kMenuExit}};
    ASSERT_EQ(GetMenuItemCount(popup), static_cast<int>(std::size(items)));
    for (int i = 0; i < static_cast<int>(std::size(items)); ++i) {
        EXPECT_EQ(static_cast<int>(GetMenuItemID(popup, i)), items[i].first) << "position " << i;
        if (items[i].second) {
            EXPECT_EQ(text(popup, i), Wide(items[i].second));
        }
    }
    HMENU useNetwork = GetSubMenu(popup, 1);
    ASSERT_NE(useNetwork, nullptr);
    ASSERT_EQ(GetMenuItemCount(useNetwork), 1);
    EXPECT_EQ(static_cast<int>(GetMenuItemID(useNetwork, 0)), ID_NETWORK_AUTODETECT);
    EXPECT_EQ(text(useNetwork, 0), Wide(kMenuAutoDetect));
    DestroyMenu(menu);
}

TEST(Win32ResourcesTest, DialogsHaveTheirControls) {
    const std::wstring button = L"Button", stat = L"Static", list = L"SysListView32",
                       ip = L"SysIPAddress32";
    const std::map<int, std::vector<std::pair<int, std::wstring>>> dialogs = {
        {IDD_CONFIG,
         {{IDC_CONFIG_OFFICES, list},
          {IDC_CONFIG_SELECT, button},
          {IDC_CONFIG_NEW, button},
          {IDC_CONFIG_EDIT, button},
          {IDC_CONFIG_DELETE, button},
          {IDC_CONFIG_AUTODETECT, button},
          {IDC_CONFIG_FOLLOW_NETWORK, button},
          {IDC_CONFIG_NOTIFY, button},
          {IDC_CONFIG_AUTOSTART, button},
          {IDCLOSE, button},
          {ID_HELP_FINDER, button}}},
        {IDD_OFFICE,
         {{IDC_OFFICE_NAME, L"Edit"},
          {IDC_OFFICE_TABS, L"SysTabControl32"},
          {IDC_OFFICE_PRINTER, L"ComboBox"},
          {IDC_OFFICE_PRINTER_LABEL, stat},
          {IDC_OFFICE_PRINTERS, list},
          {IDC_OFFICE_PRINTERS_LABEL, stat},
          {IDC_OFFICE_NOT_SUPPORTED, stat},
          {IDC_OFFICE_IP_ADDRESS, ip},
          {IDC_OFFICE_IP_ADDRESS_LABEL, stat},
          {IDC_OFFICE_SUBNET_MASK, ip},
          {IDC_OFFICE_SUBNET_MASK_LABEL, stat},
          {IDC_OFFICE_DEFAULT_GATEWAY, ip},
          {IDC_OFFICE_DEFAULT_GATEWAY_LABEL, stat},
          {IDC_OFFICE_DHCP_SERVER, ip},
          {IDC_OFFICE_DHCP_SERVER_LABEL, stat},
          {IDC_OFFICE_DNS_SERVER1, ip},
          {IDC_OFFICE_DNS_SERVER1_LABEL, stat},
          {IDC_OFFICE_DNS_SERVER2, ip},
          {IDC_OFFICE_DNS_SERVER2_LABEL, stat},
          {IDC_OFFICE_WINS_SERVER, ip},
          {IDC_OFFICE_WINS_SERVER_LABEL, stat},
          {IDOK, button},
          {IDC_OFFICE_APPLY, button},
          {IDCANCEL, button}}},
    };
    for (const auto& [dialog, expected] : dialogs) {
        const std::vector<Control> controls = DialogControls(dialog);
        ASSERT_FALSE(controls.empty()) << "dialog " << dialog;
        std::multiset<int> ids;
        for (const Control& c : controls)
            if (c.id != -1) ids.insert(c.id);
        for (const auto& [id, cls] : expected) {
            EXPECT_EQ(ids.count(id), 1u) << "dialog " << dialog << ", control " << id;
            const Control* c = Find(controls, id);
            if (c) {
                EXPECT_EQ(Upper(c->cls), Upper(cls)) << "dialog " << dialog << ", control " << id;
            }
        }
        EXPECT_EQ(ids.size(), expected.size()) << "dialog " << dialog << " has other controls";
    }
}

// The office dialog opens on the Printers tab: the other tabs' controls start hidden.
TEST(Win32ResourcesTest, OfficeDialogOpensOnThePrintersTab) {
    const std::vector<Control> controls = DialogControls(IDD_OFFICE);
    const std::set<int> shown = {IDC_OFFICE_PRINTER, IDC_OFFICE_PRINTER_LABEL, IDC_OFFICE_PRINTERS,
                                 IDC_OFFICE_PRINTERS_LABEL};
    const std::set<int> hidden = {IDC_OFFICE_NOT_SUPPORTED,         IDC_OFFICE_IP_ADDRESS,
                                  IDC_OFFICE_IP_ADDRESS_LABEL,      IDC_OFFICE_SUBNET_MASK,
                                  IDC_OFFICE_SUBNET_MASK_LABEL,     IDC_OFFICE_DEFAULT_GATEWAY,
                                  IDC_OFFICE_DEFAULT_GATEWAY_LABEL, IDC_OFFICE_DHCP_SERVER,
                                  IDC_OFFICE_DHCP_SERVER_LABEL,     IDC_OFFICE_DNS_SERVER1,
                                  IDC_OFFICE_DNS_SERVER1_LABEL,     IDC_OFFICE_DNS_SERVER2,
                                  IDC_OFFICE_DNS_SERVER2_LABEL,     IDC_OFFICE_WINS_SERVER,
                                  IDC_OFFICE_WINS_SERVER_LABEL};
    for (const Control& c : controls) {
        if (shown.count(c.id)) {
            EXPECT_TRUE(c.style & WS_VISIBLE) << "control " << c.id;
        } else if (hidden.count(c.id)) {
            EXPECT_FALSE(c.style & WS_VISIBLE) << "control " << c.id;
        }
    }
}

TEST(Win32ResourcesTest, AccessKeysAreUniqueAndReachTheirControls) {
    ExpectAccessKeys(IDD_CONFIG);
    ExpectAccessKeys(IDD_OFFICE);
}

// Every icon holds each size Windows picks between 100 % and 200 % scaling, in full colour.
TEST(Win32ResourcesTest, IconsHoldEverySize) {
#pragma pack(push, 2)
    struct Entry {
        BYTE width, height, colours, reserved;
        WORD planes, bits;
        DWORD bytes;
        WORD id;
    };
#pragma pack(pop)
    for (int icon : {IDR_MAINFRAME, IDI_OFFICE, IDI_NO_OFFICE, IDI_OFFICE_ITEM, IDI_PRINTER,
                     IDI_NETWORK, IDB_ABOUT}) {
        const std::string_view group = Resource(icon, MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
        ASSERT_GE(group.size(), 6u) << "icon " << icon;
        WORD count;
        std::memcpy(&count, group.data() + 4, sizeof count);
        ASSERT_EQ(group.size(), 6u + count * sizeof(Entry)) << "icon " << icon;
        std::set<int> sizes;
        for (WORD i = 0; i < count; ++i) {
            Entry e;
            std::memcpy(&e, group.data() + 6 + i * sizeof(Entry), sizeof e);
            EXPECT_EQ(e.bits, 32) << "icon " << icon << ", " << int{e.width} << " px";
            sizes.insert(e.width == 0 ? 256 : e.width);
        }
        EXPECT_EQ(sizes, (std::set<int>{16, 20, 24, 32, 40, 48, 256})) << "icon " << icon;
    }
}

// The program's manifest, not the toolchain's default one: common controls 6 and DPI
// awareness, per-monitor v2 for Windows and true/pm for Wine.
TEST(Win32ResourcesTest, ManifestAsksForCommonControlsAndPerMonitorDpi) {
    const std::string manifest(Resource(1, MAKEINTRESOURCEW(24)));  // RT_MANIFEST
    EXPECT_NE(manifest.find("Microsoft.Windows.Common-Controls"), std::string::npos);
    EXPECT_NE(manifest.find(">PerMonitorV2"), std::string::npos);
    EXPECT_NE(manifest.find(">true/pm<"), std::string::npos);
    EXPECT_NE(manifest.find("asInvoker"), std::string::npos);
}

TEST(Win32ResourcesTest, VersionResourceHasTheProjectVersion) {
    const std::string_view info = Resource(1, MAKEINTRESOURCEW(16));  // RT_VERSION
    ASSERT_FALSE(info.empty());
    std::vector<char> copy(info.begin(), info.end());
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT size = 0;
    ASSERT_TRUE(VerQueryValueW(copy.data(), L"\\", reinterpret_cast<void**>(&fixed), &size));
    const std::string version = std::to_string(HIWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(LOWORD(fixed->dwFileVersionMS)) + "." +
                                std::to_string(HIWORD(fixed->dwFileVersionLS));
    EXPECT_EQ(version, VOLDRANE_VERSION);
}

}  // namespace voldrane::res
