#pragma once

#include <memory>
#include <string>
#include <vector>

namespace voldrane::platform {

// The OS's signs that the network may have changed: addresses, routes and links, the
// resolver's configuration, resume from sleep. Nothing is polled: the owner waits for its
// descriptors to become readable and then drains them.
class INetworkEvents {
  public:
    virtual ~INetworkEvents() = default;
    // The descriptors to wait on for reading.
    virtual std::vector<int> Descriptors() const = 0;
    enum class Drained { Nothing, Changed, Closed };
    // Reads all that waits on `fd`. Closed: the source has ended; stop waiting on it.
    virtual Drained Drain(int fd) = 0;
};

// Opens every source there is (a missing one, such as logind in a container, is left out).
// `resolvConf`: the resolver's file to watch ("": the system's). Null, with *error, when none
// opened.
std::unique_ptr<INetworkEvents> OpenNetworkEvents(const std::string& resolvConf,
                                                  std::string* error);

}  // namespace voldrane::platform
