#pragma once

#include <string>

#include "offices/COfficeNetwork.h"
#include "platform/Spooler.h"

namespace voldrane {

// The tray's part of applying an office: icon 132, the office name as tooltip, icon shown.
class ISelectionDisplay {
  public:
    virtual ~ISelectionDisplay() = default;
    virtual void ShowAppliedOffice(const COfficeNetwork& office) = 0;
};

struct SelectionOutcome {
    bool printerSet = false;  // what the spooler answered; nothing else depends on it
    std::string error;        // the spooler's reason when it refused
};

// Applies the office at `position` (valid, checked by the caller), in this order: the
// display (when given), the office's printer made the user's default (its name passed
// unchanged, even when empty), and `currentOffice` set to the position. The printer's
// outcome changes nothing else.
SelectionOutcome SelectOffice(const COfficeList& offices, int position, platform::ISpooler& spooler,
                              ISelectionDisplay* display, int& currentOffice);

}  // namespace voldrane
