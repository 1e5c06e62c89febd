#include "printers/CPrinterList.h"

namespace voldrane {

CPrinterList::CPrinterList(platform::ISpooler& spooler) {
    auto names = spooler.EnumPrinters(&m_strError);
    if (!names) return;
    m_strError.clear();
    // Nothing is sorted, filtered or merged: the spooler's names, in its order.
    m_printerNames = std::move(*names);
    m_nCount = static_cast<int>(m_printerNames.size());
}

std::string CPrinterList::GetPrinterName(int index) const {
    if (index < 0 || index >= m_nCount) return "Error";
    return m_printerNames[static_cast<size_t>(index)];
}

std::string DefaultPrinterName(platform::ISpooler& spooler) {
    return spooler.GetDefaultPrinter().value_or("default");
}

int SelectDefaultPrinterEntry(const std::vector<std::string>& entries,
                              const std::string& officePrinter, const std::string& defaultName) {
    const std::string& target = officePrinter.empty() ? defaultName : officePrinter;
    int selected = -1;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i] == target) selected = static_cast<int>(i);
    return selected;
}

}  // namespace voldrane
