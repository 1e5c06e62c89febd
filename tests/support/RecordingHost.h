#pragma once

// The main frame as the dialogs see it, recording what they ask of it.

#include <string>
#include <vector>

#include "network/OfficeSelection.h"
#include "offices/CRegistry.h"
#include "ui/ConfigHost.h"

namespace voldrane::test {

class RecordingHost final : public ui::IConfigHost {
  public:
    RecordingHost(platform::IRegistryStore& store, platform::ISpooler& spooler,
                  ui::IUserPrompts& prompts)
        : registry(store), spooler(spooler), prompts(prompts) {}

    COfficeList& Offices() override { return offices; }
    const CNetworkSettings& CurrentNetwork() const override { return current; }
    CRegistry& Registry() override { return registry; }
    platform::ISpooler& Spooler() override { return spooler; }
    ui::IUserPrompts& Prompts() override { return prompts; }

    // As the frame applies an office: the printer made the default, the position kept.
    void SelectOffice(int position) override {
        selected.push_back(position);
        voldrane::SelectOffice(offices, position, spooler, nullptr, currentOffice);
    }
    int GetCurrentOffice() const override { return currentOffice; }
    void SetCurrentOffice(int position) override { currentOffice = position; }
    bool GetAutoDetect() const override { return autoDetect; }
    void SetAutoDetect(bool on) override { autoDetect = on; }
    void ShowNoOffices() override { ++noOffices; }
    void OfficesChanged() override { ++officesChanged; }
    void ShowHelp(const std::string& page) override { helpPages.push_back(page); }

    COfficeList offices;
    CNetworkSettings current{"192.168.1.20", "255.255.255.0", "192.168.1.1", "192.168.1.2",
                             "192.168.1.3",  "N/A",           "0.0.0.0"};
    CRegistry registry;
    platform::ISpooler& spooler;
    ui::IUserPrompts& prompts;
    std::vector<int> selected;
    int currentOffice = -1;
    bool autoDetect = true;
    int noOffices = 0;
    int officesChanged = 0;
    std::vector<std::string> helpPages;
};

}  // namespace voldrane::test
