#pragma once

#include <chrono>

#include "platform/Spooler.h"

namespace voldrane::platform::windows_os {

class WinSpooler final : public ISpooler {
  public:
    // As on Linux: a print server that does not answer within this costs the bound, no more.
    static constexpr std::chrono::milliseconds kDefaultBound{3000};
    explicit WinSpooler(std::chrono::milliseconds bound = kDefaultBound) : m_bound(bound) {}

    std::optional<std::vector<std::string>> EnumPrinters(std::string* error = nullptr) override;
    std::optional<std::string> GetDefaultPrinter(std::string* error = nullptr) override;
    bool SetDefaultPrinter(const std::string& name, std::string* error = nullptr) override;

  private:
    std::chrono::milliseconds m_bound;
};

}  // namespace voldrane::platform::windows_os
