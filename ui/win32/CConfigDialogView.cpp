#include "ui/win32/CConfigDialogView.h"

#include <commctrl.h>

#include "res/Resource.h"
#include "res/win32/Win32Ids.h"
#include "ui/win32/COfficeDialogView.h"
#include "ui/win32/CommonControls.h"
#include "ui/win32/Wide.h"

namespace voldrane::win32 {

namespace {

using namespace voldrane::res;

std::string ProgramPath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return Narrow(path);
        }
        path.resize(path.size() * 2);
    }
}

class ConfigDialog final : public IConfigDialog {
  public:
    explicit ConfigDialog(HINSTANCE resources) : m_view(resources) {}
    void SetOfficeList(COfficeList& offices) override { m_offices = &offices; }
    void SetCurrentNetwork(const CNetworkSettings& network) override { m_network = &network; }
    int Run(bool bAddCurrentNetwork, ui::IConfigHost* host) override {
        return m_view.Run(bAddCurrentNetwork, *host, m_offices, m_network);
    }
    void BringWindowToTop() override { m_view.Raise(); }

  private:
    CConfigDialogView m_view;
    COfficeList* m_offices = nullptr;
    const CNetworkSettings* m_network = nullptr;
};

}  // namespace

std::unique_ptr<IConfigDialog> CreateConfigDialog(HINSTANCE resources) {
    return std::make_unique<ConfigDialog>(resources);
}

CConfigDialogView::CConfigDialogView(HINSTANCE resources) : m_resources(resources) {}

CConfigDialogView::~CConfigDialogView() {
    Destroy();
    if (m_smallImages) DestroyImageList(m_smallImages);
}

int CConfigDialogView::Run(bool bAddCurrentNetwork, ui::IConfigHost& host, COfficeList* offices,
                           const CNetworkSettings* network) {
    if (!LoadCommonControls() || !CreateHidden(m_resources, IDD_CONFIG, nullptr)) return -1;
    m_presenter = std::make_unique<ui::ConfigDialogPresenter>(host, *this);
    m_presenter->SetOfficeList(offices);
    m_presenter->SetCurrentNetwork(network);
    const int result = m_presenter->Run(bAddCurrentNetwork);
    Destroy();
    m_presenter.reset();
    return result;
}

BOOL CConfigDialogView::OnInitDialog() {
    HWND list = Item(IDC_CONFIG_OFFICES);
    // The presenter puts each entry where it belongs: the template's sorting is off.
    SetWindowLongPtrW(list, GWL_STYLE, GetWindowLongPtrW(list, GWL_STYLE) & ~LVS_SORTASCENDING);
    m_smallImages = CreateImageList(GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                    ILC_COLOR32 | ILC_MASK, 2, 2);
    for (int id : {IDI_OFFICE_ITEM, IDI_PRINTER}) {
        HICON icon = static_cast<HICON>(LoadImageW(m_resources, MAKEINTRESOURCEW(id), IMAGE_ICON,
                                                   GetSystemMetrics(SM_CXSMICON),
                                                   GetSystemMetrics(SM_CYSMICON), LR_DEFAULTCOLOR));
        AddIconToImageList(m_smallImages, icon);
        if (icon) DestroyIcon(icon);
    }
    ListView_SetImageList(list, m_smallImages, LVSIL_SMALL);
    return TRUE;
}

void CConfigDialogView::ClearRows() {
    ListView_DeleteAllItems(Item(IDC_CONFIG_OFFICES));
}

void CConfigDialogView::InsertRow(int row, const std::string& name) {
    std::wstring text = Widen(name);
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = row;
    item.pszText = text.data();
    item.iImage = 0;
    ListView_InsertItem(Item(IDC_CONFIG_OFFICES), &item);
}

void CConfigDialogView::SetRowText(int row, const std::string& name) {
    std::wstring text = Widen(name);
    ListView_SetItemText(Item(IDC_CONFIG_OFFICES), row, 0, text.data());
}

void CConfigDialogView::RemoveRow(int row) {
    ListView_DeleteItem(Item(IDC_CONFIG_OFFICES), row);
}

int CConfigDialogView::SelectedRow() const {
    return ListView_GetNextItem(Item(IDC_CONFIG_OFFICES), -1, LVNI_SELECTED);
}

void CConfigDialogView::ClearSelection() {
    ListView_SetItemState(Item(IDC_CONFIG_OFFICES), -1, 0, LVIS_SELECTED);
}

void CConfigDialogView::EnableOfficeButtons(bool enabled) {
    for (int id : {IDC_CONFIG_SELECT, IDC_CONFIG_EDIT, IDC_CONFIG_DELETE}) EnableItem(id, enabled);
}

void CConfigDialogView::ShowSwitches(const ui::ConfigSwitches& switches) {
    SetChecked(IDC_CONFIG_AUTODETECT, switches.autoDetect);
    SetChecked(IDC_CONFIG_FOLLOW_NETWORK, switches.followNetwork);
    SetChecked(IDC_CONFIG_NOTIFY, switches.notify);
}

void CConfigDialogView::ShowAutostart(bool on) {
    SetChecked(IDC_CONFIG_AUTOSTART, on);
}

void CConfigDialogView::RunModal() {
    HWND dialog = Hwnd();
    CentreOnScreen(dialog);
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    // The dialog's own loop: the window was made before the presenter filled it.
    m_running = true;
    MSG msg;
    while (m_running) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got <= 0) {
            // "Exit" ended the program: the outer loop gets the request too.
            if (got == 0) PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!IsDialogMessageW(Hwnd(), &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    m_running = false;
    if (Hwnd()) ShowWindow(Hwnd(), SW_HIDE);
}

void CConfigDialogView::EndDialog() {
    m_running = false;
    // A message, so that the loop wakes up and sees it.
    PostMessageW(Hwnd(), WM_NULL, 0, 0);
}

bool CConfigDialogView::RunOfficeDialog(ui::OfficeDialogPresenter& office, bool aboveWindow) {
    COfficeDialogView view(office, m_resources);
    m_officeDialog = &view;
    const bool ok = view.DoModal(aboveWindow ? Hwnd() : nullptr) == IDOK;
    m_officeDialog = nullptr;
    return ok;
}

void CConfigDialogView::Raise() {
    if (m_officeDialog && m_officeDialog->Hwnd())
        m_officeDialog->BringToTop();
    else
        BringToTop();
}

bool CConfigDialogView::OnCommand(int id, int code, HWND) {
    if (!m_presenter) return false;
    switch (id) {
        case IDC_CONFIG_SELECT:
            m_presenter->OnSelect();
            return true;
        case IDC_CONFIG_NEW:
            m_presenter->OnNew();
            return true;
        case IDC_CONFIG_EDIT:
            m_presenter->OnEdit();
            return true;
        case IDC_CONFIG_DELETE:
            m_presenter->OnDelete();
            return true;
        case IDCLOSE:
            m_presenter->OnClose({IsChecked(IDC_CONFIG_AUTODETECT),
                                  IsChecked(IDC_CONFIG_FOLLOW_NETWORK),
                                  IsChecked(IDC_CONFIG_NOTIFY)});
            return true;
        case IDCANCEL:  // Escape and the close box: nothing is stored
            EndDialog();
            return true;
        case ID_HELP_FINDER:
            m_presenter->OnHelp();
            return true;
        case IDC_CONFIG_AUTOSTART:
            if (code == BN_CLICKED)
                m_presenter->OnAutostartClicked(IsChecked(IDC_CONFIG_AUTOSTART), ProgramPath());
            return true;
        default:
            return false;
    }
}

LRESULT CConfigDialogView::OnNotify(const NMHDR& header) {
    if (!m_presenter || header.idFrom != static_cast<UINT_PTR>(IDC_CONFIG_OFFICES)) return 0;
    switch (header.code) {
        case LVN_ITEMCHANGED: {
            const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
            if (change.uChanged & LVIF_STATE) m_presenter->OnSelectionChanged();
            return 0;
        }
        case NM_DBLCLK:
            m_presenter->OnEdit();
            return 0;
        case LVN_ENDLABELEDIT: {
            // Names change only through the office dialog: the edit is not taken, and the
            // presenter puts the office's name back.
            const auto& edit = reinterpret_cast<const NMLVDISPINFOW&>(header);
            if (edit.item.pszText) m_presenter->OnRowTextEdited(edit.item.iItem);
            return 0;
        }
        default:
            return 0;
    }
}

void CConfigDialogView::OnHelp() {
    if (m_presenter) m_presenter->OnHelp();
}

}  // namespace voldrane::win32
