#include "ui/OfficeDialogPresenter.h"

#include "printers/CPrinterList.h"
#include "res/Strings.h"
#include "ui/NameOrder.h"

namespace voldrane::ui {

namespace {

std::array<std::string, 7> Addresses(const CNetworkSettings& n) {
    return {n.m_strIPAddress,  n.m_strSubnetMask, n.m_strDefaultGateway, n.m_strDHCPServer,
            n.m_strDNSServer1, n.m_strDNSServer2, n.m_strWINSServer};
}

}  // namespace

OfficeDialogPresenter::OfficeDialogPresenter(platform::ISpooler& spooler, IUserPrompts& prompts)
    : m_spooler(spooler), m_prompts(prompts) {}

void OfficeDialogPresenter::SetOffice(COfficeNetwork* office) {
    m_pOffice = office;
    m_start.name = office->m_strOfficeName;
    m_start.addresses = Addresses(office->m_network);
}

void OfficeDialogPresenter::UseCurrentNetwork(const CNetworkSettings* current, bool bAsk) {
    m_bNewOffice = true;
    if (!current) return;
    if (bAsk && !m_prompts.AskYesNo(res::kAskUseCurrentNetwork, PromptIcon::Question)) return;
    m_start.addresses = Addresses(*current);
}

void OfficeDialogPresenter::SetHelpHandler(std::function<void(const std::string&)> showHelp) {
    m_showHelp = std::move(showHelp);
}

void OfficeDialogPresenter::Init(IOfficeView& view) {
    m_view = &view;
    // Read afresh at every opening. A spooler that cannot be asked gives an empty catalogue:
    // empty printer controls, and Apply leaves the office's printer as it was.
    const CPrinterList catalogue(m_spooler);
    m_printers.clear();
    for (int i = 0; i < catalogue.GetCount(); ++i)
        m_printers.push_back(catalogue.GetPrinterName(i));
    std::vector<std::string> listed;
    for (const std::string& name : m_printers)
        listed.insert(listed.begin() + SortedRow(listed, name), name);
    // The office's printer, or for an office without one the user's default printer.
    m_start.printer = SelectDefaultPrinterEntry(
        m_printers, m_pOffice ? m_pOffice->m_strDefaultPrinter : std::string(),
        DefaultPrinterName(m_spooler));
    view.ShowForm(m_start, m_printers, listed);
    m_shown = Values(view.FormValues(), m_printers);
}

std::array<std::string, kOfficeValueCount> OfficeDialogPresenter::Values(
    const OfficeForm& form, const std::vector<std::string>& printers) {
    std::array<std::string, kOfficeValueCount> values;
    values[kOfficeNamePlace] = form.name;
    for (size_t i = 0; i < form.addresses.size(); ++i) values[i + 1] = form.addresses[i];
    const bool chosen = form.printer >= 0 && form.printer < static_cast<int>(printers.size());
    values[kDefaultPrinterPlace] = chosen ? printers[static_cast<size_t>(form.printer)] : "";
    return values;
}

void OfficeDialogPresenter::OnApply() {
    if (!m_pOffice || !m_view) return;
    const OfficeForm form = m_view->FormValues();
    const std::array<std::string, kOfficeValueCount> now = Values(form, m_printers);
    // An office being edited takes only the values the user changed, so that a save writes
    // nothing else over what another program stored meanwhile, and a value the controls show
    // in another form ("N/A" as 255.255.255.255, a printer not installed here as the default
    // printer) stays as it was.
    for (int i = 0; i < kOfficeValueCount; ++i) {
        const auto k = static_cast<size_t>(i);
        const bool changed = now[k] != m_shown[k];
        if (!changed && !m_changed[k] && !m_bNewOffice) continue;
        m_changed[k] = true;
        if (i == kDefaultPrinterPlace) {
            // Without a chosen printer (none installed, or the office's is gone) the office
            // keeps the printer it had.
            if (form.printer >= 0 && form.printer < static_cast<int>(m_printers.size()))
                m_pOffice->m_strDefaultPrinter = now[k];
            continue;
        }
        OfficeValue(*m_pOffice, i) = now[k];
    }
}

void OfficeDialogPresenter::OnHelp() {
    if (m_showHelp) m_showHelp("office");
}

bool OfficeDialogPresenter::NameFits(std::string_view name) {
    return name.size() <= kOfficeValues[kOfficeNamePlace].maxBytes;
}

}  // namespace voldrane::ui
