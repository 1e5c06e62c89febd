#include "ui/win32/COfficeDialogView.h"

#include <commctrl.h>

#include <array>

#include "network/Matching.h"
#include "res/Resource.h"
#include "res/Strings.h"
#include "res/win32/Win32Ids.h"
#include "ui/win32/CommonControls.h"
#include "ui/win32/Wide.h"

namespace voldrane::win32 {

namespace {

using namespace voldrane::res;

enum Tab { kPrintersTab = 0, kDriveMappingTab = 1, kNetworkSettingsTab = 2 };

// The address controls in the presenter's order: IP address, subnet mask, default gateway,
// DHCP server, primary and secondary DNS server, WINS server; and their labels.
constexpr std::array<int, 7> kAddressIds = {IDC_OFFICE_IP_ADDRESS,      IDC_OFFICE_SUBNET_MASK,
                                            IDC_OFFICE_DEFAULT_GATEWAY, IDC_OFFICE_DHCP_SERVER,
                                            IDC_OFFICE_DNS_SERVER1,     IDC_OFFICE_DNS_SERVER2,
                                            IDC_OFFICE_WINS_SERVER};
constexpr std::array<int, 7> kAddressLabelIds = {
    IDC_OFFICE_IP_ADDRESS_LABEL,  IDC_OFFICE_SUBNET_MASK_LABEL, IDC_OFFICE_DEFAULT_GATEWAY_LABEL,
    IDC_OFFICE_DHCP_SERVER_LABEL, IDC_OFFICE_DNS_SERVER1_LABEL, IDC_OFFICE_DNS_SERVER2_LABEL,
    IDC_OFFICE_WINS_SERVER_LABEL};
constexpr std::array<int, 4> kPrinterIds = {IDC_OFFICE_PRINTER_LABEL, IDC_OFFICE_PRINTER,
                                            IDC_OFFICE_PRINTERS_LABEL, IDC_OFFICE_PRINTERS};
constexpr const char* kTabTexts[3] = {"Printers", "Drive Mapping", "Network Settings"};

HICON SmallIcon(HINSTANCE resources, int id) {
    return static_cast<HICON>(LoadImageW(resources, MAKEINTRESOURCEW(id), IMAGE_ICON,
                                         GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
}

}  // namespace

COfficeDialogView::COfficeDialogView(ui::OfficeDialogPresenter& presenter, HINSTANCE resources)
    : m_presenter(presenter), m_resources(resources) {}

COfficeDialogView::~COfficeDialogView() {
    if (m_smallImages) DestroyImageList(m_smallImages);
    if (m_tabBrush) DeleteObject(m_tabBrush);
}

int COfficeDialogView::DoModal(HWND owner) {
    if (!LoadCommonControls()) return -1;
    return static_cast<int>(RunModal(m_resources, IDD_OFFICE, owner));
}

BOOL COfficeDialogView::OnInitDialog() {
    HWND tabs = Item(IDC_OFFICE_TABS);
    for (int i = 0; i < 3; ++i) {
        std::wstring text = Widen(kTabTexts[i]);
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = text.data();
        SendMessageW(tabs, TCM_INSERTITEMW, static_cast<WPARAM>(i),
                     reinterpret_cast<LPARAM>(&item));
    }
    // The presenter gives the printers in the order to show: the template's sorting is off.
    HWND list = Item(IDC_OFFICE_PRINTERS);
    SetWindowLongPtrW(list, GWL_STYLE, GetWindowLongPtrW(list, GWL_STYLE) & ~LVS_SORTASCENDING);
    m_smallImages = CreateImageList(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                    ILC_COLOR32 | ILC_MASK, 3, 3);
    for (int id : {IDI_OFFICE_ITEM, IDI_PRINTER, IDI_NETWORK}) {
        HICON icon = SmallIcon(m_resources, id);
        AddIconToImageList(m_smallImages, icon);
        if (icon) DestroyIcon(icon);
    }
    ListView_SetImageList(list, m_smallImages, LVSIL_SMALL);
    RECT r;
    GetClientRect(list, &r);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = r.right - r.left - GetSystemMetrics(SM_CXVSCROLL);
    ListView_InsertColumn(list, 0, &column);

    m_presenter.Init(*this);
    ShowTab(kPrintersTab);
    SetForegroundWindow(Hwnd());
    return TRUE;
}

void COfficeDialogView::ShowForm(const ui::OfficeForm& form,
                                 const std::vector<std::string>& printers,
                                 const std::vector<std::string>& listed) {
    m_lastName = form.name;
    SetItemText(IDC_OFFICE_NAME, form.name);
    TabCtrl_SetCurSel(Item(IDC_OFFICE_TABS), kPrintersTab);

    HWND list = Item(IDC_OFFICE_PRINTERS);
    ListView_DeleteAllItems(list);
    for (size_t i = 0; i < listed.size(); ++i) {
        std::wstring text = Widen(listed[i]);
        LVITEMW item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = static_cast<int>(i);
        item.pszText = text.data();
        item.iImage = 1;
        ListView_InsertItem(list, &item);
    }
    // Inserted at the end, not sorted: entry i is the catalogue's printer i.
    HWND combo = Item(IDC_OFFICE_PRINTER);
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (const std::string& name : printers)
        SendMessageW(combo, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(Widen(name).c_str()));
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(form.printer), 0);

    // A stored text as the address control shows it: empty leaves it blank; anything that
    // is not an address shows as 255.255.255.255.
    for (size_t i = 0; i < kAddressIds.size(); ++i) {
        HWND control = Item(kAddressIds[i]);
        if (form.addresses[i].empty())
            SendMessageW(control, IPM_CLEARADDRESS, 0, 0);
        else
            SendMessageW(control, IPM_SETADDRESS, 0,
                         static_cast<LPARAM>(InetAddr(form.addresses[i])));
    }
}

ui::OfficeForm COfficeDialogView::FormValues() const {
    ui::OfficeForm form;
    form.name = ItemText(IDC_OFFICE_NAME);
    // The control's text is dotted decimal, a blank field counting as 0.
    for (size_t i = 0; i < kAddressIds.size(); ++i) form.addresses[i] = ItemText(kAddressIds[i]);
    const LRESULT chosen = SendMessageW(Item(IDC_OFFICE_PRINTER), CB_GETCURSEL, 0, 0);
    form.printer = chosen == CB_ERR ? -1 : static_cast<int>(chosen);
    return form;
}

void COfficeDialogView::ShowTab(int tab) {
    if (tab < kPrintersTab || tab > kNetworkSettingsTab) return;
    for (int id : kPrinterIds) ShowItem(id, tab == kPrintersTab);
    ShowItem(IDC_OFFICE_NOT_SUPPORTED, tab == kDriveMappingTab);
    for (size_t i = 0; i < kAddressIds.size(); ++i) {
        ShowItem(kAddressLabelIds[i], tab == kNetworkSettingsTab);
        ShowItem(kAddressIds[i], tab == kNetworkSettingsTab);
    }
}

bool COfficeDialogView::OnCommand(int id, int code, HWND) {
    switch (id) {
        case IDOK:
            m_presenter.OnOk();
            End(IDOK);
            return true;
        case IDC_OFFICE_APPLY:
            m_presenter.OnApply();
            return true;
        case IDCANCEL:
            End(IDCANCEL);
            return true;
        case ID_HELP_FINDER:
            m_presenter.OnHelp();
            return true;
        case IDC_OFFICE_NAME:
            if (code == EN_CHANGE) {
                // A name the store would not give back whole is refused as it is typed.
                const std::string name = ItemText(IDC_OFFICE_NAME);
                if (ui::OfficeDialogPresenter::NameFits(name)) {
                    m_lastName = name;
                } else {
                    SetItemText(IDC_OFFICE_NAME, m_lastName);
                    MessageBeep(MB_OK);
                }
            }
            return true;
        default:
            return false;
    }
}

// The labels on the tab's pages are the dialog's children, not the tab's: by default they
// would show the dialog's grey on the tab's page, which a theme draws lighter. They take the
// page as the tab draws it (WM_PRINTCLIENT into a bitmap; no theme library of our own).
HBRUSH COfficeDialogView::OnCtlColorStatic(HDC dc, HWND control) {
    HWND tabs = Item(IDC_OFFICE_TABS);
    RECT page, label;
    GetWindowRect(tabs, &page);
    GetWindowRect(control, &label);
    if (!(label.left >= page.left && label.right <= page.right && label.top >= page.top &&
          label.bottom <= page.bottom))
        return nullptr;
    if (!m_tabBrush) {
        RECT client;
        GetClientRect(tabs, &client);
        HDC screen = GetDC(tabs);
        HDC memory = CreateCompatibleDC(screen);
        HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
        HGDIOBJ old = SelectObject(memory, bitmap);
        FillRect(memory, &client, GetSysColorBrush(COLOR_BTNFACE));
        SendMessageW(tabs, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
        SelectObject(memory, old);
        m_tabBrush = CreatePatternBrush(bitmap);
        DeleteObject(bitmap);  // the brush holds its own copy
        DeleteDC(memory);
        ReleaseDC(tabs, screen);
        if (!m_tabBrush) return nullptr;
    }
    // The pattern starts at the tab's corner, wherever the label lies.
    POINT origin{0, 0};
    MapWindowPoints(tabs, control, &origin, 1);
    SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
    SetBkMode(dc, TRANSPARENT);
    return m_tabBrush;
}

LRESULT COfficeDialogView::OnNotify(const NMHDR& header) {
    if (header.idFrom == IDC_OFFICE_TABS && header.code == TCN_SELCHANGE)
        ShowTab(TabCtrl_GetCurSel(Item(IDC_OFFICE_TABS)));
    return 0;
}

}  // namespace voldrane::win32
