#pragma once

#include <string>
#include <vector>

#include "platform/Spooler.h"

namespace voldrane {

// The printer catalogue: the names of the printers the user can print to, in the spooler's
// order, read once when the catalogue is made. It keeps every name, however many there are.
class CPrinterList {
  public:
    // Enumerates. A spooler that cannot be asked leaves the catalogue empty (see LastError).
    explicit CPrinterList(platform::ISpooler& spooler);
    virtual ~CPrinterList() = default;

    int GetCount() const { return m_nCount; }

    // The name at that 0-based position; "Error" for a position outside the catalogue.
    std::string GetPrinterName(int index) const;

    // Why the enumeration failed; empty when it worked (also when there are no printers).
    const std::string& LastError() const { return m_strError; }

  private:
    int m_nCount = 0;
    std::vector<std::string> m_printerNames;
    std::string m_strError;
};

// The name the office dialog compares the printer entries with when the office has no
// printer of its own: the user's default printer, or "default" when there is none (so only a
// printer of exactly that name is selected).
std::string DefaultPrinterName(platform::ISpooler& spooler);

// Which entry of the "Default Printer" combo is selected: the last entry equal, byte for byte,
// to the target, where the target is the office's printer when it has one, else the default
// printer's name. -1 when no entry is equal.
int SelectDefaultPrinterEntry(const std::vector<std::string>& entries,
                              const std::string& officePrinter, const std::string& defaultName);

}  // namespace voldrane
