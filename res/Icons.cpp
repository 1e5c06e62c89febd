#include "res/Icons.h"

#include "res/Resource.h"
#include "res/Strings.h"

// The pictures are compiled into a static library; registering them by hand keeps the linker
// from dropping them.
static void RegisterPictures() {
    Q_INIT_RESOURCE(voldrane);
}

namespace voldrane::res {

QString IconPath(int id) {
    static const bool registered = (RegisterPictures(), true);
    (void)registered;
    switch (id) {
        case IDI_OFFICE:
            return QStringLiteral(":/voldrane/icons/office-applied.svg");
        case IDI_NO_OFFICE:
            return QStringLiteral(":/voldrane/icons/no-office.svg");
        case IDI_OFFICE_ITEM:
            return QStringLiteral(":/voldrane/icons/office.svg");
        case IDI_PRINTER:
            return QStringLiteral(":/voldrane/icons/printer.svg");
        case IDI_NETWORK:
            return QStringLiteral(":/voldrane/icons/network.svg");
        case IDB_ABOUT:
            return QStringLiteral(":/voldrane/icons/about.svg");
        default:
            return {};
    }
}

QIcon LoadIcon(int id) {
    const QString path = IconPath(id);
    return path.isEmpty() ? QIcon() : QIcon(path);
}

}  // namespace voldrane::res
