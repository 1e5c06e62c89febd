#pragma once

#include <string>
#include <vector>

#include "offices/CNetworkSettings.h"
#include "offices/COfficeNetwork.h"
#include "ui/ConfigHost.h"
#include "ui/OfficeDialogPresenter.h"

namespace voldrane::ui {

// The three switches under the list, as shown or as the user left them.
struct ConfigSwitches {
    bool autoDetect = true;
    bool followNetwork = false;
    bool notify = true;
};

// What the configuration dialog's presenter asks of the window that draws it. Rows are the
// list's entries from the top, 0-based.
class IConfigView {
  public:
    virtual ~IConfigView() = default;

    virtual void ClearRows() = 0;
    // An entry goes in at `row`; the selection stays with the entry it was on.
    virtual void InsertRow(int row, const std::string& name) = 0;
    virtual void SetRowText(int row, const std::string& name) = 0;
    virtual void RemoveRow(int row) = 0;
    // The selected entry's row; -1 without a selection.
    virtual int SelectedRow() const = 0;
    virtual void ClearSelection() = 0;
    // Select, Edit and Delete.
    virtual void EnableOfficeButtons(bool enabled) = 0;
    virtual void ShowSwitches(const ConfigSwitches& switches) = 0;
    virtual void ShowAutostart(bool on) = 0;

    // Shows the window modally until EndDialog, Escape or the close box.
    virtual void RunModal() = 0;
    virtual void EndDialog() = 0;
    // Runs the office dialog over `office` modally, above this window when `aboveWindow` (else
    // on its own, the window hidden): true when it ended with OK.
    virtual bool RunOfficeDialog(OfficeDialogPresenter& office, bool aboveWindow) = 0;
};

// The window in which the user keeps the list of offices: it lists them by name and offers
// Select, New, Edit, Delete, the "Auto-detect Network" switch, Close and Help, and "Start
// Voldrane when I log in" (the login entry, written at once, outside the store). It works on
// the main frame's list in place and writes every change to the settings store at once: of an
// edited office only the values changed here, so that other programs' changes stay.
class ConfigDialogPresenter {
  public:
    ConfigDialogPresenter(IConfigHost& host, IConfigView& view);

    // The list and network to work on; the host's own when not set.
    void SetOfficeList(COfficeList* offices) { m_pOffices = offices; }
    void SetCurrentNetwork(const CNetworkSettings* network) { m_pCurrentNetwork = network; }

    // bAddCurrentNetwork false: the modal configuration window; returns IDCANCEL when the user
    // leaves (Close, Escape or the close box). True: the window stays hidden, the office
    // dialog opens once for a new office filled with the current network without a question,
    // and 0 is returned.
    int Run(bool bAddCurrentNetwork);

    // The user's actions.
    void OnSelectionChanged();
    // An entry's text was edited in place: names change only through the office dialog.
    void OnRowTextEdited(int row);
    void OnSelect();
    void OnNew();
    void OnEdit();
    void OnDelete();
    void OnClose(const ConfigSwitches& shown);
    void OnHelp();
    // "Start Voldrane when I log in" clicked: writes the login entry for `program` at once.
    void OnAutostartClicked(bool on, const std::string& program);

    // One entry of the list: the office position it stands for and the text it shows (set
    // when it went in, or when an edit of the office was stored).
    struct Row {
        int position;
        std::string text;
    };
    const std::vector<Row>& Rows() const { return m_rows; }

  private:
    void Init();
    int SelectedPosition() const;
    void InsertEntry(const COfficeNetwork& office, int position);
    // Takes the office at `position` out of the list and the window (the store is left alone).
    void RemoveOffice(int position);
    bool RunOfficeDialog(OfficeDialogPresenter& dialog);
    void ReportStoreFailure(const std::string& message);

    IConfigHost& m_host;
    IConfigView& m_view;
    COfficeList* m_pOffices = nullptr;
    const CNetworkSettings* m_pCurrentNetwork = nullptr;
    bool m_bInteractive = false;
    std::vector<Row> m_rows;          // in list order
    bool m_bAutoDetectShown = true;   // the switch as the window opened with it
    bool m_bStoredAutoDetect = true;  // the stored settings when the window opened
    bool m_bStoredFollow = false;
    bool m_bStoredNotify = true;
};

}  // namespace voldrane::ui
