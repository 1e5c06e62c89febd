#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "offices/CNetworkSettings.h"
#include "offices/COfficeNetwork.h"
#include "offices/OfficeValues.h"
#include "platform/Spooler.h"
#include "ui/UserPrompts.h"

namespace voldrane::ui {

// Modal results, as the configuration dialog tests them.
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

// What the office dialog's controls hold.
struct OfficeForm {
    std::string name;
    // The seven network values in the store's order: IP address, subnet mask, default
    // gateway, DHCP server, primary and secondary DNS server, WINS server.
    std::array<std::string, 7> addresses;
    int printer = -1;  // the chosen entry of the printers, in catalogue order; -1 none
};

// What the office dialog's presenter asks of the window that draws it.
class IOfficeView {
  public:
    virtual ~IOfficeView() = default;
    // Fills the controls: the name; the addresses as stored texts, each shown as an address
    // control shows a stored text (empty: blank); the "Default Printer" choice with `printers`
    // in catalogue order and entry `form.printer` chosen; "Available Printers" in `listed`
    // order.
    virtual void ShowForm(const OfficeForm& form, const std::vector<std::string>& printers,
                          const std::vector<std::string>& listed) = 0;
    // What the controls hold now, the addresses as dotted decimal.
    virtual OfficeForm FormValues() const = 0;
};

// Edits one office: its name, the printer that becomes the default there, and the seven
// network values that identify its network. It changes only the record in memory (Apply and
// OK copy the controls into it); the caller stores it when the dialog ends with OK.
class OfficeDialogPresenter {
  public:
    OfficeDialogPresenter(platform::ISpooler& spooler, IUserPrompts& prompts);

    // The office to edit (not owned); its name and network become the starting values.
    void SetOffice(COfficeNetwork* office);
    // For a new office: the current network's seven values become the starting values, after
    // asking "Use Current Network Settings?" when `bAsk` is set (No keeps them).
    void UseCurrentNetwork(const CNetworkSettings* current, bool bAsk);
    // Where Help sends the user: the manual, opened at a page.
    void SetHelpHandler(std::function<void(const std::string& page)> showHelp);

    // Reads the printers afresh and fills `view` (which must outlive the dialog's run).
    void Init(IOfficeView& view);
    bool Initialised() const { return m_view != nullptr; }

    // Apply: copies the controls into the office record; the dialog stays open.
    void OnApply();
    // OK: Apply, then the dialog ends with IDOK. Cancel copies nothing more.
    void OnOk() { OnApply(); }
    void OnHelp();

    // The printers in catalogue order (the "Default Printer" entries).
    const std::vector<std::string>& Printers() const { return m_printers; }
    // Which of the office's nine values (numbered as the store numbers them: the name, the
    // seven addresses, the printer) an Apply or OK took from controls the user changed.
    const std::array<bool, kOfficeValueCount>& ChangedValues() const { return m_changed; }

    // A name the store gives back whole: no longer, in UTF-8 bytes, than it keeps. The view
    // refuses an edit that would make the name longer.
    static bool NameFits(std::string_view name);

  private:
    static std::array<std::string, kOfficeValueCount> Values(
        const OfficeForm& form, const std::vector<std::string>& printers);

    platform::ISpooler& m_spooler;
    IUserPrompts& m_prompts;
    std::function<void(const std::string&)> m_showHelp;
    IOfficeView* m_view = nullptr;

    COfficeNetwork* m_pOffice = nullptr;
    OfficeForm m_start;                                  // the starting values
    std::vector<std::string> m_printers;                 // catalogue order
    std::array<std::string, kOfficeValueCount> m_shown;  // the controls' values when filled
    std::array<bool, kOfficeValueCount> m_changed{};
    bool m_bNewOffice = false;  // takes every value the controls show
};

}  // namespace voldrane::ui
