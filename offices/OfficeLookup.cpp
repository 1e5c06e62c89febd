#include "offices/OfficeLookup.h"

#include "offices/RegFile.h"

namespace voldrane {

int FindOfficeByKey(const COfficeList& offices, std::string_view key) {
    for (int p = 0; p < offices.GetSize(); ++p)
        if (EqualRegNames(offices.ElementAt(p).m_strKeyName, key)) return p;
    return -1;
}

int FindOfficeByKeyOrName(const COfficeList& offices, std::string_view keyOrName) {
    const int byKey = FindOfficeByKey(offices, keyOrName);
    if (byKey >= 0) return byKey;
    for (int p = 0; p < offices.GetSize(); ++p)
        if (offices.ElementAt(p).m_strOfficeName == keyOrName) return p;
    return -1;
}

}  // namespace voldrane
