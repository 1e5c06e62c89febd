#include "ui/qt/Help.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <QUrl>

#include "platform/ProgramFiles.h"

namespace voldrane {

QString ManualDirFor(const QString& programDir) {
    // Beside the program (an installed tree, wherever it was put), the source tree's only for a
    // program that runs from its build tree, then where the package installs it.
    QStringList places{programDir + QStringLiteral("/../" VOLDRANE_HELP_INSTALL_DIR)};
    if (platform::InBuildTree(programDir.toStdString()))
        places << QStringLiteral(VOLDRANE_HELP_SOURCE_DIR);
    places << QStringLiteral(VOLDRANE_HELP_FULL_INSTALL_DIR);
    for (const QString& place : places) {
        if (QFileInfo(place + QStringLiteral("/index.html")).isFile())
            return QDir::cleanPath(place);
    }
    return {};
}

QString ManualDir() {
    return ManualDirFor(QCoreApplication::applicationDirPath());
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
