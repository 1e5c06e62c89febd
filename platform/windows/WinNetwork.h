#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/NetworkSource.h"
#include "platform/windows/WinText.h"

namespace voldrane::platform::windows_os {

class WinNetworkSource final : public INetworkSource {
  public:
    std::optional<std::vector<AdapterInfo>> QueryAdapters() override;
    std::optional<std::vector<std::string>> QueryDnsServers() override;
    // Why the last query failed (the OS's text); empty when it worked.
    const std::string& Problem() const { return m_problem; }

  private:
    std::string m_problem;
};

// True when the program runs under Wine (ntdll exports wine_get_version).
bool RunningUnderWine();

// Calls `changed` (on a thread of the OS's or its own) each time the network may have
// changed: an interface, a unicast address or a route came, went or changed, or the machine
// resumed. Windows tells through NotifyIpInterfaceChange, NotifyUnicastIpAddressChange and
// NotifyRouteChange2. Wine accepts those calls but never calls back: under Wine the adapter
// list is read every `pollMs` instead and a difference counts as a change. Stops when the
// object goes; no call is made after its destructor returns.
class NetworkChangeWatch {
  public:
    static constexpr int kWinePollMs = 2000;
    ~NetworkChangeWatch();
    NetworkChangeWatch(const NetworkChangeWatch&) = delete;
    NetworkChangeWatch& operator=(const NetworkChangeWatch&) = delete;
    // Null, with `error`, when not even one notification could be registered.
    static std::unique_ptr<NetworkChangeWatch> Start(std::function<void()> changed,
                                                     std::string* error, int pollMs = kWinePollMs);
    bool Polling() const { return m_polling; }

    struct State;

  private:
    NetworkChangeWatch() = default;
    std::shared_ptr<State> m_state;
    bool m_polling = false;
};

}  // namespace voldrane::platform::windows_os
