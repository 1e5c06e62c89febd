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
// The spooler in this process (it links the OS's print client library).
std::unique_ptr<ISpooler> CreateSpooler();
// The same spooler asked through a short-lived helper process (voldranectl), for the tray
// program: the print client's libraries then never load into it. Same answers and errors,
// bounded per call a little above the in-process spooler's bound.
std::unique_ptr<ISpooler> CreateOutOfProcessSpooler();

}  // namespace voldrane::platform
