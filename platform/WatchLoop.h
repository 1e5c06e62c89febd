#pragma once

#include <memory>
#include <string>

#include "network/NetworkFollower.h"

namespace voldrane::platform {

// The one wait of `voldranectl watch`: the OS's network events, the follower's settle timer
// and the request to end (SIGTERM or SIGINT; Ctrl+C or a closed console on Windows). Nothing
// wakes it while nothing changes (where the OS gives no events, as under Wine, it reads the
// adapters at a slow interval instead).
class IWatchLoop : public ISettleTimer {
  public:
    enum class Wake { NetworkChanged, TimerExpired, Stop };
    // Waits for the next of them. A failure to wait ends the loop with Stop and `error` set.
    virtual Wake Wait(std::string* error) = 0;
};

// Null, with `error`, when the events cannot be opened.
std::unique_ptr<IWatchLoop> OpenWatchLoop(std::string* error);

}  // namespace voldrane::platform
