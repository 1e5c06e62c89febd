#pragma once

#include <QFrame>
#include <array>
#include <cstdint>
#include <string>

class QLineEdit;

namespace voldrane::ui {

// An IPv4 address entry of four 0-255 fields, as people know it from network settings
// windows: typing a dot (or a third digit) moves to the next field, Backspace in an empty
// field goes back, and pasting a whole address fills all four fields.
class IpAddressEdit : public QFrame {
    Q_OBJECT

  public:
    explicit IpAddressEdit(QWidget* parent = nullptr);

    // The four fields from a 32-bit address in host order (a.b.c.d is a<<24 | ... | d).
    void SetAddress(uint32_t address);
    // All four fields blank.
    void ClearAddress();
    // A stored text: empty leaves the fields blank; anything else goes through the
    // inet_addr conversion, so a text that is not an address ("N/A") shows 255.255.255.255.
    void SetStartText(const std::string& text);

    bool IsBlank() const;
    // Dotted decimal; a blank field counts as 0, so blank fields give "0.0.0.0".
    QString Text() const;

    QLineEdit* Field(int i) const { return m_fields[static_cast<size_t>(i)]; }

  signals:
    void AddressChanged();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    int IndexOf(QObject* field) const;
    void FocusField(int i, bool selectAll);
    void OnFieldEdited(int i);
    bool PasteAddress(int i);

    std::array<QLineEdit*, 4> m_fields{};
    int m_autoAdvanced = -1;  // the field just reached by typing three digits before it
};

}  // namespace voldrane::ui
