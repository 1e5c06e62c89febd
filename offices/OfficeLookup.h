#pragma once

#include <string_view>

#include "offices/COfficeNetwork.h"

namespace voldrane {

// How a program finds an office that it is told about. By key: the office whose key name
// equals `key` as the store compares key names (ASCII letters in either case; the store holds
// no two such keys). By key or name: that office, else the first office, in list order, whose
// name is exactly `keyOrName`. Each gives the office's position, or -1 when none is found.
int FindOfficeByKey(const COfficeList& offices, std::string_view key);
int FindOfficeByKeyOrName(const COfficeList& offices, std::string_view keyOrName);

}  // namespace voldrane
