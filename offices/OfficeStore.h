#pragma once

#include <array>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "offices/COfficeNetwork.h"
#include "offices/CRegistry.h"
#include "offices/OfficeValues.h"

namespace voldrane {

inline constexpr const char* kAppKey = "SOFTWARE\\Kestamor\\Voldrane";
inline constexpr const char* kOfficesKey = "SOFTWARE\\Kestamor\\Voldrane\\Offices";
inline constexpr const char* kAutoDetectValue = "Auto Detect";
inline constexpr const char* kDefaultOfficeValue = "Default Office";
inline constexpr const char* kFollowNetworkValue = "Follow Network";
inline constexpr const char* kNotifyValue = "Notify";

// Appends every stored office to `offices`, in the store's enumeration order (ascending key
// name, which is creation order for generated names). Creates the Offices key if missing.
void LoadOffices(CRegistry& registry, COfficeList& offices);

// Reads the nine values of the office's key (m_strKeyName) into it, in one state of the
// store; a value that cannot be read stays as it was. False when there is no such key.
bool ReadOffice(CRegistry& registry, COfficeNetwork& office);

// Writes the office's nine values under its key, as one unit. False with `error` set when
// the store cannot be written; the office in memory is untouched either way.
bool SaveOffice(CRegistry& registry, const COfficeNetwork& office, std::string* error = nullptr);

// Deletes the office's key. True also when there is no such key (any more); false with
// `error` when the store cannot be written or the key has subkeys.
bool DeleteOfficeKey(CRegistry& registry, const std::string& keyName, std::string* error = nullptr);

// Edit's delete-then-save as one unit: afterwards the key holds exactly the nine values.
bool RewriteOffice(CRegistry& registry, const COfficeNetwork& office, std::string* error = nullptr);

// An edit from a program that does not keep the office in memory (voldranectl): sets the
// values picked by `fields` (by their place in the office key: 0 "Office Name", 1 to 7 the
// network's texts, 8 "Default Printer") to the office's texts in one write, and any of the
// nine that the key lacks. The other values stay as they are in the store, with what another
// program changed meanwhile. The key must exist: when it does not (any more) nothing is
// written, `gone` is set and the result is false. False with `error` when the store cannot be
// written.
bool UpdateOffice(CRegistry& registry, const COfficeNetwork& office,
                  const std::array<bool, 9>& fields, bool& gone, std::string* error = nullptr);

// Which of the nine values (numbered as for UpdateOffice) differ between two records.
std::array<bool, 9> DifferentValues(const COfficeNetwork& a, const COfficeNetwork& b);

// The creation time as "%X"; when a key of that name exists, the next free second.
std::string MakeOfficeKeyName(CRegistry& registry, std::time_t now);
std::string MakeOfficeKeyName(CRegistry& registry);

// New's MakeOfficeKeyName and SaveOffice as one unit: gives each office a fresh key name (from
// `now` on, as MakeOfficeKeyName does), sets its m_strKeyName, and writes them all in one
// write. A name that another process claims meanwhile is never shared: the names are made
// again. False with `error` when the store cannot be written; nothing is added then.
bool AddOffices(CRegistry& registry, const std::vector<COfficeNetwork*>& offices, std::time_t now,
                std::string* error = nullptr);
bool AddOffice(CRegistry& registry, COfficeNetwork& office, std::string* error = nullptr);

// "Auto Detect": on unless stored as a DWORD 0.
bool ReadAutoDetect(CRegistry& registry);
// "Follow Network": off unless stored as a DWORD other than 0, so that settings from before
// it existed keep reading the network only when asked.
bool ReadFollowNetwork(CRegistry& registry);
// "Notify": on unless stored as a DWORD 0.
bool ReadNotify(CRegistry& registry);
// "Default Office"; empty when absent or not text.
std::string ReadDefaultOffice(CRegistry& registry);

// The only writers of the settings, for every program. Each makes the program's key when it
// is missing, and is false with `error` when the store cannot be written.
// "Auto Detect", "Follow Network" and "Notify" as the DWORD 0 or 1.
bool WriteAutoDetect(CRegistry& registry, bool on, std::string* error = nullptr);
bool WriteFollowNetwork(CRegistry& registry, bool on, std::string* error = nullptr);
bool WriteNotify(CRegistry& registry, bool on, std::string* error = nullptr);
// "Default Office" as the text `key`, byte for byte (the tray program compares it with key
// names exactly); nullopt removes the value.
bool WriteDefaultOffice(CRegistry& registry, const std::optional<std::string>& key,
                        std::string* error = nullptr);

}  // namespace voldrane
