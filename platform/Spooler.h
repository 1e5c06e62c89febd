#pragma once

#include <optional>
#include <string>
#include <vector>

namespace voldrane::platform {

// The print spooler: what printers exist, which is the user's default, and making one the
// user's default. Every call is bounded in time, also against a print server that hangs.
class ISpooler {
  public:
    virtual ~ISpooler() = default;

    // Printer names in the spooler's stable order; nullopt when the spooler cannot be asked.
    virtual std::optional<std::vector<std::string>> EnumPrinters(std::string* error = nullptr) = 0;

    // The user's default printer; nullopt when there is none (or it cannot be asked).
    virtual std::optional<std::string> GetDefaultPrinter(std::string* error = nullptr) = 0;

    // Makes the named printer the user's default. False, with the reason, on failure.
    virtual bool SetDefaultPrinter(const std::string& name, std::string* error = nullptr) = 0;
};

}  // namespace voldrane::platform
