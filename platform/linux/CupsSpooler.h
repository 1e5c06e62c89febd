#pragma once

#include <chrono>

#include "platform/Spooler.h"

namespace voldrane::platform::linux_os {

// The print spooler through libcups: the queues and the user's lpoptions instances
// ("queue/instance"), the user's default as lp and lpstat resolve it (LPDEST, PRINTER,
// ~/.cups/lpoptions, the server's default), and the user's default set in ~/.cups/lpoptions
// as `lpoptions -d` sets it, but by changing the Default line alone (LpOptions.h), after one
// request that tells whether the server has the printer. The server is the one libcups picks
// (CUPS_SERVER, client.conf).
//
// Every call gives up after `bound`: a server that is missing costs about nothing, one that
// accepts connections but never answers costs the bound (plus a fraction of a second).
class CupsSpooler final : public ISpooler {
  public:
    static constexpr std::chrono::milliseconds kDefaultBound{3000};

    explicit CupsSpooler(std::chrono::milliseconds bound = kDefaultBound) : m_bound(bound) {}

    std::optional<std::vector<std::string>> EnumPrinters(std::string* error = nullptr) override;
    std::optional<std::string> GetDefaultPrinter(std::string* error = nullptr) override;
    bool SetDefaultPrinter(const std::string& name, std::string* error = nullptr) override;

  private:
    std::chrono::milliseconds m_bound;
};

}  // namespace voldrane::platform::linux_os
