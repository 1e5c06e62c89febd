#include "ui/win32/CReportingSpooler.h"

#include <ostream>

namespace voldrane::win32 {

bool CReportingSpooler::SetDefaultPrinter(const std::string& name, std::string* error) {
    if (!m_spooler->SetDefaultPrinter(name, error)) return false;
    const std::optional<std::string> now = m_spooler->GetDefaultPrinter(nullptr);
    m_out << "Default printer: " << (now ? *now : std::string("(none)")) << std::endl;
    return true;
}

}  // namespace voldrane::win32
