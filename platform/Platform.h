#pragma once

#include <iosfwd>
#include <memory>

#include "platform/NetworkSource.h"
#include "platform/RegistryStore.h"
#include "platform/Spooler.h"

namespace voldrane::platform {

// The implementations for the OS this program was built for. Each OS folder defines these.
std::unique_ptr<INetworkSource> CreateNetworkSource();
// The current user's store. `diagnostics`: where lines of the file that cannot be read are
// reported (nullptr: standard error).
std::unique_ptr<IRegistryStore> CreateRegistryStore(std::ostream* diagnostics = nullptr);
std::unique_ptr<ISpooler> CreateSpooler();

}  // namespace voldrane::platform
