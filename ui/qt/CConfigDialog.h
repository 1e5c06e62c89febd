#pragma once

#include <QDialog>
#include <QPointer>
#include <memory>
#include <string>

#include "offices/CNetworkSettings.h"
#include "offices/COfficeNetwork.h"
#include "ui/ConfigDialogPresenter.h"
#include "ui/ConfigHost.h"

class QCheckBox;
class QListWidget;
class QListWidgetItem;
class QPushButton;

namespace voldrane::ui {

class COfficeDialog;

// The configuration window drawn by Qt: lays out the list of offices, the buttons and the
// switches, forwards the user's actions to ConfigDialogPresenter and shows what it says.
//
// Use: construct, SetOfficeList, SetCurrentNetwork, then Run. While Run executes, a second
// request to configure should call BringToTop instead of opening another window.
class CConfigDialog : public QDialog, private IConfigView {
    Q_OBJECT

  public:
    explicit CConfigDialog(QWidget* parent = nullptr);
    ~CConfigDialog() override;

    void SetOfficeList(COfficeList* offices) { m_pOffices = offices; }
    void SetCurrentNetwork(const CNetworkSettings* network) { m_pCurrentNetwork = network; }

    // As ConfigDialogPresenter::Run, over `host`.
    int Run(bool bAddCurrentNetwork, IConfigHost* host);

    // Raises the open window, or the office dialog open above it.
    void BringToTop();

  private:
    // IConfigView
    void ClearRows() override;
    void InsertRow(int row, const std::string& name) override;
    void SetRowText(int row, const std::string& name) override;
    void RemoveRow(int row) override;
    int SelectedRow() const override;
    void ClearSelection() override;
    void EnableOfficeButtons(bool enabled) override;
    void ShowSwitches(const ConfigSwitches& switches) override;
    void ShowAutostart(bool on) override;
    void RunModal() override;
    void EndDialog() override;
    bool RunOfficeDialog(OfficeDialogPresenter& office, bool aboveWindow) override;

    QCheckBox* MakeCheckBox(const QString& text, const char* name, const QString& help);

    std::unique_ptr<ConfigDialogPresenter> m_presenter;  // made by Run
    COfficeList* m_pOffices = nullptr;
    const CNetworkSettings* m_pCurrentNetwork = nullptr;

    QPushButton* m_btnDelete = nullptr;
    QPushButton* m_btnSelect = nullptr;
    QPushButton* m_btnEdit = nullptr;
    QPushButton* m_btnNew = nullptr;
    QPushButton* m_btnClose = nullptr;
    QPushButton* m_btnHelp = nullptr;
    QListWidget* m_listOffices = nullptr;
    QCheckBox* m_checkAutoDetect = nullptr;
    QCheckBox* m_checkFollow = nullptr;
    QCheckBox* m_checkNotify = nullptr;
    QCheckBox* m_checkAutostart = nullptr;

    QPointer<COfficeDialog> m_pOfficeDialog;  // open during New and Edit
    bool m_bSettingText = false;              // our own label changes are not user edits
};

}  // namespace voldrane::ui
