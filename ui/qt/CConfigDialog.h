#pragma once

#include <QDialog>
#include <QPointer>
#include <string>

#include "offices/CNetworkSettings.h"
#include "offices/COfficeNetwork.h"
#include "ui/ConfigHost.h"

class QCheckBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace voldrane::ui {

class COfficeDialog;

// The window in which the user keeps the list of offices: it lists them by name and offers
// Select, New, Edit, Delete, the "Auto-detect Network" switch, Close and Help, and "Start
// Voldrane when I log in" (the login entry, written at once, outside the store). It works on
// the main frame's list in place and writes every change to the settings store at once: of an
// edited office only the values changed here, so that other programs' changes stay.
//
// Use: construct, SetOfficeList, SetCurrentNetwork, then Run. While Run executes, a second
// request to configure should call BringToTop instead of opening another window.
class CConfigDialog : public QDialog {
    Q_OBJECT

  public:
    explicit CConfigDialog(QWidget* parent = nullptr);
    ~CConfigDialog() override;

    void SetOfficeList(COfficeList* offices);
    void SetCurrentNetwork(const CNetworkSettings* network);

    // bAddCurrentNetwork false: the modal configuration window; returns 2 when the user
    // leaves (Close, Escape or the close box). True: the window stays hidden, the office
    // dialog opens once for a new office filled with the current network without a
    // question, and 0 is returned.
    int Run(bool bAddCurrentNetwork, IConfigHost* host);

    // Raises the open window, or the office dialog open above it.
    void BringToTop();

  private:
    void OnInitDialog();
    void OnItemChangedOffices();
    void OnLabelEdited(QListWidgetItem* item);
    void OnSelect();
    void OnNew();
    void OnEdit();
    void OnDelete();
    void OnCloseButton();
    void OnHelp();
    // Takes the office at `position` out of the list and the window (the store is left alone).
    void RemoveOffice(int position);
    // The "Start Voldrane when I log in" box; it writes the login entry when clicked.
    QCheckBox* MakeAutostartBox();

    // The selected entry and the office position it carries; -1 without a selection.
    QListWidgetItem* SelectedEntry() const;
    static int PositionOf(const QListWidgetItem* item);
    QListWidgetItem* InsertEntry(const COfficeNetwork& office, int position);
    void SetEntryText(QListWidgetItem* item, const QString& text);
    int RunOfficeDialog(COfficeDialog& dialog);
    void ReportStoreFailure(const QString& message);

    bool m_bInteractive = false;
    COfficeList* m_pOffices = nullptr;
    const CNetworkSettings* m_pCurrentNetwork = nullptr;
    IConfigHost* m_pHost = nullptr;

    QPushButton* m_btnDelete = nullptr;
    QPushButton* m_btnSelect = nullptr;
    QPushButton* m_btnEdit = nullptr;
    QPushButton* m_btnNew = nullptr;
    QPushButton* m_btnClose = nullptr;
    QPushButton* m_btnHelp = nullptr;
    QListWidget* m_listOffices = nullptr;
    QCheckBox* m_checkAutoDetect = nullptr;
    bool m_bAutoDetectNetwork = false;
    bool m_bStoredAutoDetect = true;  // the stored setting when the window opened
    QCheckBox* m_checkAutostart = nullptr;
    QCheckBox* m_checkFollow = nullptr;
    QCheckBox* m_checkNotify = nullptr;
    bool m_bStoredFollow = false;  // the stored settings when the window opened
    bool m_bStoredNotify = true;

    QPointer<COfficeDialog> m_pOfficeDialog;  // open during New and Edit
    bool m_bSettingText = false;              // our own label changes are not user edits
};

}  // namespace voldrane::ui
