#pragma once

#include "offices/CNetworkSettings.h"
#include "platform/NetworkSource.h"

namespace voldrane {

// Reads the current network once: the first adapter not described as "Virtual" (preferring
// one that has an address), the machine's first two DNS servers, and fixed default texts
// wherever a value is not available. Every field of the result holds a value.
CNetworkSettings DetectNetworkSettings(platform::INetworkSource& source);

}  // namespace voldrane
