#pragma once

#include <QString>
#include <string>

namespace voldrane {

// The folder of the HTML manual: share/doc/voldrane/help beside the program's bin folder, the
// source tree's docs/help when the program runs from its build tree, or the installed one.
// Empty when there is none.
QString ManualDir();
// The same for a program in `programDir`.
QString ManualDirFor(const QString& programDir);

// The manual's file for a page: "" the contents, "config" the configuration dialog,
// "office" the office dialog. Empty when there is no manual.
QString ManualPage(const std::string& page);

// Opens the page with the desktop's browser. False, with the reason, when it cannot.
bool OpenManual(const std::string& page, std::string* error);

}  // namespace voldrane
