#pragma once

#include <array>
#include <cassert>
#include <memory>
#include <string>
#include <vector>

#include "offices/CNetworkSettings.h"

namespace voldrane {

// One office: where the laptop can be attached, and which printer is the default there.
struct COfficeNetwork {
    std::string m_strKeyName;  // name of the office's key below "...\Offices"; never shown
    CNetworkSettings m_network;
    std::string m_strOfficeName;
    std::string m_strDefaultPrinter;  // may be empty

    // Changes kept in memory that the store does not hold yet (a save failed, or values were
    // applied in the office dialog and then cancelled), by their place in the office key (0 the
    // name, 1 to 7 the network's texts, 8 the printer); the next save of the office writes them.
    std::array<bool, 9> m_unsavedValues{};
    bool m_bUnsavedKey = false;  // the office itself was never stored: its add failed
};

// The ordered list of offices. It owns its records: removing one destroys it. Positions
// 0..size-1 are what the matcher, the tray menu and the configuration dialog exchange.
class COfficeList {
  public:
    int GetSize() const { return static_cast<int>(m_items.size()); }
    bool IsEmpty() const { return m_items.empty(); }

    // Appends and returns the new office's position (the old size).
    int Append(std::unique_ptr<COfficeNetwork> office) {
        m_items.push_back(std::move(office));
        return GetSize() - 1;
    }

    // Callers check the position; the list only asserts it.
    COfficeNetwork& ElementAt(int position) {
        assert(position >= 0 && position < GetSize());
        return *m_items[static_cast<size_t>(position)];
    }
    const COfficeNetwork& ElementAt(int position) const {
        assert(position >= 0 && position < GetSize());
        return *m_items[static_cast<size_t>(position)];
    }

    // Removes and destroys one office; every later office moves down one position.
    void RemoveAt(int position) {
        assert(position >= 0 && position < GetSize());
        m_items.erase(m_items.begin() + position);
    }

    void RemoveAll() { m_items.clear(); }

  private:
    std::vector<std::unique_ptr<COfficeNetwork>> m_items;
};

}  // namespace voldrane
