#pragma once

#include <QDialog>

namespace voldrane {

// "About...": the picture, the program's name and version, two lines of text, and OK.
class CAboutDialog final : public QDialog {
  public:
    explicit CAboutDialog(QWidget* parent = nullptr);
};

}  // namespace voldrane
