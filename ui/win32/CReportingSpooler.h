#pragma once

#include <iosfwd>
#include <memory>

#include "platform/Spooler.h"

namespace voldrane::win32 {

// The spooler, saying on `out` which printer is the default after each change this program
// makes ("Default printer: NAME", as the spooler answers in this process). Scripts and tests
// read it there: other processes may not see the change at once (Wine resets it for them).
class CReportingSpooler final : public platform::ISpooler {
  public:
    CReportingSpooler(std::unique_ptr<platform::ISpooler> spooler, std::ostream& out)
        : m_spooler(std::move(spooler)), m_out(out) {}

    std::optional<std::vector<std::string>> EnumPrinters(std::string* error) override {
        return m_spooler->EnumPrinters(error);
    }
    std::optional<std::string> GetDefaultPrinter(std::string* error) override {
        return m_spooler->GetDefaultPrinter(error);
    }
    bool SetDefaultPrinter(const std::string& name, std::string* error) override;

  private:
    std::unique_ptr<platform::ISpooler> m_spooler;
    std::ostream& m_out;
};

}  // namespace voldrane::win32
