#include "ui/qt/CAboutDialog.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "res/Icons.h"
#include "res/Resource.h"
#include "res/Strings.h"

namespace voldrane {

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(res::kAppTitle));
    setModal(true);

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("picture"));
    picture->setPixmap(res::LoadIcon(res::IDB_ABOUT).pixmap(64, 64));
    picture->setAlignment(Qt::AlignTop);

    auto* version = new QLabel(QString::fromUtf8(res::kAboutVersion), this);
    version->setObjectName(QStringLiteral("version"));
    auto* text = new QLabel(QString::fromUtf8(res::kAboutText), this);
    text->setObjectName(QStringLiteral("text"));

    auto* ok = new QPushButton(QString::fromUtf8(res::kAboutOk), this);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(picture, 0, 0, 2, 1);
    grid->addWidget(version, 0, 1);
    grid->addWidget(text, 1, 1);
    grid->addWidget(ok, 0, 2, Qt::AlignTop);
    grid->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace voldrane
