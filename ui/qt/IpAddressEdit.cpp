#include "ui/qt/IpAddressEdit.h"

#include <QApplication>
#include <QClipboard>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStringList>

#include "network/Matching.h"

namespace voldrane::ui {

IpAddressEdit::IpAddressEdit(QWidget* parent) : QFrame(parent) {
    // Drawn as one line edit holding four frameless fields.
    setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    setBackgroundRole(QPalette::Base);
    setAutoFillBackground(true);

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(0);

    auto* validator = new QRegularExpressionValidator(QRegularExpression("[0-9]{0,3}"), this);
    const int fieldWidth = fontMetrics().horizontalAdvance(QStringLiteral("0000"));
    for (int i = 0; i < 4; ++i) {
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("octet%1").arg(i));
        field->setFrame(false);
        field->setAlignment(Qt::AlignCenter);
        field->setMaxLength(3);
        field->setValidator(validator);
        field->setFixedWidth(fieldWidth);
        field->setAccessibleName(tr("Part %1 of the address").arg(i + 1));
        // Tab leaves the whole address; the fields inside are reached by typing and clicking.
        if (i > 0) field->setFocusPolicy(Qt::ClickFocus);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i] { OnFieldEdited(i); });
        m_fields[static_cast<size_t>(i)] = field;
        layout->addWidget(field);
        if (i < 3) {
            auto* dot = new QLabel(QStringLiteral("."), this);
            dot->setBackgroundRole(QPalette::Base);
            layout->addWidget(dot);
        }
    }
    layout->addStretch(1);
    setFocusProxy(m_fields[0]);
    setFocusPolicy(Qt::StrongFocus);
}

void IpAddressEdit::SetAddress(uint32_t address) {
    for (int i = 0; i < 4; ++i)
        Field(i)->setText(QString::number((address >> (24 - 8 * i)) & 0xFF));
    emit AddressChanged();
}

void IpAddressEdit::ClearAddress() {
    for (QLineEdit* field : m_fields) field->clear();
    emit AddressChanged();
}

void IpAddressEdit::SetStartText(const std::string& text) {
    if (text.empty())
        ClearAddress();
    else
        SetAddress(InetAddr(text));
}

bool IpAddressEdit::IsBlank() const {
    for (const QLineEdit* field : m_fields)
        if (!field->text().isEmpty()) return false;
    return true;
}

QString IpAddressEdit::Text() const {
    QStringList parts;
    for (const QLineEdit* field : m_fields) parts << QString::number(field->text().toInt());
    return parts.join('.');
}

int IpAddressEdit::IndexOf(QObject* field) const {
    for (int i = 0; i < 4; ++i)
        if (Field(i) == field) return i;
    return -1;
}

void IpAddressEdit::FocusField(int i, bool selectAll) {
    if (i < 0 || i > 3) return;
    QLineEdit* field = Field(i);
    field->setFocus(Qt::OtherFocusReason);
    if (selectAll)
        field->selectAll();
    else
        field->setCursorPosition(field->text().size());
}

void IpAddressEdit::OnFieldEdited(int i) {
    QLineEdit* field = Field(i);
    // A value above 255 becomes 255, as the address can hold no more.
    if (field->text().toInt() > 255) field->setText(QStringLiteral("255"));
    m_autoAdvanced = -1;
    if (field->text().size() == 3 && field->cursorPosition() == 3 && i < 3) {
        FocusField(i + 1, true);
        m_autoAdvanced = i + 1;
    }
    emit AddressChanged();
}

bool IpAddressEdit::PasteAddress(int i) {
    const QString text = QApplication::clipboard()->text().trimmed();
    if (!text.contains('.')) return false;  // a plain number pastes into the field as usual
    const uint32_t address = InetAddr(text.toStdString());
    if (address != kInaddrNone || text == QStringLiteral("255.255.255.255")) SetAddress(address);
    FocusField(i, false);
    return true;
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    const int i = IndexOf(watched);
    if (i >= 0 && event->type() == QEvent::FocusOut && i == m_autoAdvanced) m_autoAdvanced = -1;
    if (i < 0 || event->type() != QEvent::KeyPress) return QFrame::eventFilter(watched, event);

    auto* key = static_cast<QKeyEvent*>(event);
    QLineEdit* field = Field(i);
    if (key->matches(QKeySequence::Paste)) return PasteAddress(i);
    switch (key->key()) {
        case Qt::Key_Period:
        case Qt::Key_Space:
            // The separator moves on from a field that holds a number. A field just reached
            // after three digits is already where it leads, and an empty one stays empty.
            if (i == m_autoAdvanced)
                m_autoAdvanced = -1;
            else if (i < 3 && !field->text().isEmpty())
                FocusField(i + 1, true);
            return true;
        case Qt::Key_Backspace:
            if (field->cursorPosition() == 0 && !field->hasSelectedText() && i > 0) {
                FocusField(i - 1, false);
                return true;
            }
            break;
        case Qt::Key_Left:
            if (field->cursorPosition() == 0 && !field->hasSelectedText() && i > 0) {
                FocusField(i - 1, false);
                return true;
            }
            break;
        case Qt::Key_Right:
            if (field->cursorPosition() == field->text().size() && i < 3) {
                FocusField(i + 1, false);
                Field(i + 1)->setCursorPosition(0);
                return true;
            }
            break;
        default:
            break;
    }
    return QFrame::eventFilter(watched, event);
}

}  // namespace voldrane::ui
