#include "app/Help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace voldrane {

QString ManualDir() {
    const QString installed =
        QCoreApplication::applicationDirPath() + QStringLiteral("/../" VOLDRANE_HELP_INSTALL_DIR);
    if (QFileInfo::exists(installed + QStringLiteral("/index.html")))
        return QDir::cleanPath(installed);
    const QString source = QStringLiteral(VOLDRANE_HELP_SOURCE_DIR);
    if (QFileInfo::exists(source + QStringLiteral("/index.html"))) return source;
    return {};
}

QString ManualPage(const std::string& page) {
    const QString dir = ManualDir();
    if (dir.isEmpty()) return {};
    QString file = QStringLiteral("index.html");
    if (page == "config") file = QStringLiteral("config.html");
    if (page == "office") file = QStringLiteral("office.html");
    const QString path = dir + QLatin1Char('/') + file;
    return QFileInfo::exists(path) ? path : dir + QStringLiteral("/index.html");
}

bool OpenManual(const std::string& page, std::string* error) {
    const QString path = ManualPage(page);
    if (path.isEmpty()) {
        if (error) *error = "The manual is not installed (" VOLDRANE_HELP_INSTALL_DIR ").";
        return false;
    }
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path))) {
        if (error) {
            *error = "No web browser could be started to show the manual. Open it by hand:\n" +
                     path.toStdString();
        }
        return false;
    }
    return true;
}

}  // namespace voldrane
