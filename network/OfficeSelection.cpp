#include "network/OfficeSelection.h"

namespace voldrane {

SelectionOutcome SelectOffice(const COfficeList& offices, int position, platform::ISpooler& spooler,
                              ISelectionDisplay* display, int& currentOffice) {
    const COfficeNetwork& office = offices.ElementAt(position);
    if (display) display->ShowAppliedOffice(office);

    // Passed as stored, even when empty: the spooler decides what an unknown name means.
    SelectionOutcome outcome;
    outcome.printerSet = spooler.SetDefaultPrinter(office.m_strDefaultPrinter, &outcome.error);
    if (outcome.printerSet) outcome.error.clear();

    currentOffice = position;
    return outcome;
}

}  // namespace voldrane
