#pragma once

#include <memory>

#include "platform/NetworkSource.h"
#include "platform/RegistryStore.h"
#include "platform/Spooler.h"

namespace voldrane::platform {

// The implementations for the OS this program was built for. Each OS folder defines these.
std::unique_ptr<INetworkSource> CreateNetworkSource();
std::unique_ptr<IRegistryStore> CreateRegistryStore();  // the current user's store
std::unique_ptr<ISpooler> CreateSpooler();

}  // namespace voldrane::platform
