#pragma once

#include <functional>
#include <memory>

#include "offices/CNetworkSettings.h"
#include "offices/COfficeNetwork.h"
#include "ui/ConfigHost.h"

namespace voldrane {

// The configuration dialog as the main frame runs it, whichever toolkit draws it: one object per
// command, run modally (or hidden, performing New once, in the add-current-network mode).
class IConfigDialog {
  public:
    virtual ~IConfigDialog() = default;
    virtual void SetOfficeList(COfficeList& offices) = 0;
    virtual void SetCurrentNetwork(const CNetworkSettings& network) = 0;
    // Returns when the dialog is finished; the dialog has applied, added, changed or deleted
    // offices itself through `host`.
    virtual int Run(bool bAddCurrentNetwork, ui::IConfigHost* host) = 0;
    // Raises the running dialog above other windows.
    virtual void BringWindowToTop() = 0;
};

using ConfigDialogFactory = std::function<std::unique_ptr<IConfigDialog>()>;

}  // namespace voldrane
