#pragma once

#include <functional>
#include <memory>

#include "platform/NetworkEvents.h"

namespace voldrane::platform {

// Network events delivered on the UI thread's event loop, until the object goes.
class INetworkWatch {
  public:
    virtual ~INetworkWatch() = default;
};

// `changed` is called (unsettled: every burst of events is passed on) each time the events
// say the network may have changed. Null when `events` is null.
std::unique_ptr<INetworkWatch> WatchNetwork(std::unique_ptr<INetworkEvents> events,
                                            std::function<void()> changed);

}  // namespace voldrane::platform
