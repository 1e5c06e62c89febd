#include "ui/qt/DialogSupport.h"

#include "res/Icons.h"
#include "res/Resource.h"

namespace voldrane::ui {

QIcon OfficeNetworkIcon() {
    return res::LoadIcon(res::IDI_OFFICE_ITEM);
}
QIcon PrinterIcon() {
    return res::LoadIcon(res::IDI_PRINTER);
}

}  // namespace voldrane::ui
