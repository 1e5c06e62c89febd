#pragma once

#include <string>

#include "offices/CNetworkSettings.h"
#include "offices/COfficeNetwork.h"
#include "offices/CRegistry.h"
#include "platform/Spooler.h"
#include "ui/UserPrompts.h"

namespace voldrane::ui {

// What the configuration dialog needs of the main frame. The frame implements it; tests
// implement it with a recording fake.
class IConfigHost {
  public:
    virtual ~IConfigHost() = default;

    virtual COfficeList& Offices() = 0;
    virtual const CNetworkSettings& CurrentNetwork() const = 0;
    virtual CRegistry& Registry() = 0;
    virtual platform::ISpooler& Spooler() = 0;
    // Where the dialogs ask their questions and report what could not be stored.
    virtual IUserPrompts& Prompts() = 0;

    // Applies the office at a valid position (icon, tooltip, printer, current position).
    virtual void SelectOffice(int position) = 0;
    virtual int GetCurrentOffice() const = 0;
    // Used when a deletion shifts positions, or removes the applied office (-1).
    virtual void SetCurrentOffice(int position) = 0;

    virtual bool GetAutoDetect() const = 0;
    virtual void SetAutoDetect(bool on) = 0;

    // The tray icon turns to "No Office Networks Specified" (the last office went).
    virtual void ShowNoOffices() = 0;
    // The list or a name changed: the tray menu must follow.
    virtual void OfficesChanged() = 0;

    // Opens the manual at a page ("config", "office", or "" for the contents).
    virtual void ShowHelp(const std::string& page) = 0;
};

}  // namespace voldrane::ui
