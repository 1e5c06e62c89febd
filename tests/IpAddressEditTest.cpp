#include <gtest/gtest.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTest>

#include "tests/UiTestSupport.h"
#include "ui/qt/IpAddressEdit.h"

namespace voldrane::test {
namespace {

using ui::IpAddressEdit;

QString Fields(const IpAddressEdit& edit) {
    QStringList parts;
    for (int i = 0; i < 4; ++i) parts << edit.Field(i)->text();
    return parts.join('|');
}

struct StartCase {
    const char* start;
    const char* fields;  // what the four fields show
    const char* text;    // what the control gives back
};

class StartTextTest : public testing::TestWithParam<StartCase> {};

TEST_P(StartTextTest, ShowsAndGivesBack) {
    IpAddressEdit edit;
    edit.SetStartText(GetParam().start);
    EXPECT_EQ(Fields(edit).toStdString(), GetParam().fields);
    EXPECT_EQ(edit.Text().toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Conversions, StartTextTest,
    testing::Values(StartCase{"192.168.1.20", "192|168|1|20", "192.168.1.20"},
                    StartCase{"0.0.0.0", "0|0|0|0", "0.0.0.0"},
                    StartCase{"255.255.255.255", "255|255|255|255", "255.255.255.255"},
                    // What the network detection writes when it knows nothing.
                    StartCase{"N/A", "255|255|255|255", "255.255.255.255"},
                    StartCase{"192.168.1.300", "255|255|255|255", "255.255.255.255"},
                    // The short forms inet_addr accepts.
                    StartCase{"10.1", "10|0|0|1", "10.0.0.1"},
                    StartCase{"0x7f.1", "127|0|0|1", "127.0.0.1"},
                    // Nothing stored yet: blank fields, which count as zeros.
                    StartCase{"", "|||", "0.0.0.0"}));

TEST(IpAddressEditTest, BlankOnlyWhenAllFieldsAreEmpty) {
    IpAddressEdit edit;
    EXPECT_TRUE(edit.IsBlank());
    edit.SetStartText("0.0.0.0");
    EXPECT_FALSE(edit.IsBlank());
    edit.ClearAddress();
    EXPECT_TRUE(edit.IsBlank());
}

struct TypingCase {
    const char* start;
    const char* typed;
    const char* text;
};

class TypingTest : public testing::TestWithParam<TypingCase> {};

TEST_P(TypingTest, KeysFillTheFields) {
    IpAddressEdit edit;
    edit.SetStartText(GetParam().start);
    ShowActive(&edit);
    edit.Field(0)->setFocus();
    edit.Field(0)->selectAll();
    Type(QString::fromLatin1(GetParam().typed));
    EXPECT_EQ(edit.Text().toStdString(), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, TypingTest,
    testing::Values(TypingCase{"", "192.168.1.20", "192.168.1.20"},  // dot after three digits
                    TypingCase{"", "10.0.0.1", "10.0.0.1"},          // dots move on
                    TypingCase{"", "10 20 30 40", "10.20.30.40"},    // so does a space
                    TypingCase{"", "1921681", "192.168.1.0"},        // three digits move on
                    TypingCase{"", "300.1.1.1", "255.1.1.1"},        // no octet above 255
                    TypingCase{"", "1a2.3b", "12.3.0.0"},            // letters are refused
                    TypingCase{"", "1..2", "1.2.0.0"},  // a dot in an empty field stays put
                    // Over an address: each field's old number is replaced as it is reached.
                    TypingCase{"10.0.0.1", "172.16.0.254", "172.16.0.254"},
                    TypingCase{"10.0.0.1", "1.2", "1.2.0.1"}));

TEST(IpAddressEditTest, BackspaceInAnEmptyFieldGoesBack) {
    IpAddressEdit edit;
    ShowActive(&edit);
    edit.Field(0)->setFocus();
    QTest::keyClicks(edit.Field(0), "10.");
    ASSERT_TRUE(edit.Field(1)->hasFocus());
    QTest::keyClick(edit.Field(1), Qt::Key_Backspace);
    EXPECT_TRUE(edit.Field(0)->hasFocus());
    QTest::keyClick(edit.Field(0), Qt::Key_Backspace);
    QTest::keyClick(edit.Field(0), '7');
    EXPECT_EQ(edit.Text().toStdString(), "17.0.0.0");
}

TEST(IpAddressEditTest, PastingAnAddressFillsAllFields) {
    IpAddressEdit edit;
    ShowActive(&edit);
    edit.Field(0)->setFocus();
    QApplication::clipboard()->setText(QStringLiteral(" 172.16.5.4 "));
    QTest::keySequence(edit.Field(0), QKeySequence::Paste);
    EXPECT_EQ(edit.Text().toStdString(), "172.16.5.4");

    QApplication::clipboard()->setText(QStringLiteral("printer.example"));
    QTest::keySequence(edit.Field(0), QKeySequence::Paste);
    EXPECT_EQ(edit.Text().toStdString(), "172.16.5.4") << "not an address: nothing changes";
}

TEST(IpAddressEditTest, TabLeavesTheWholeAddress) {
    QWidget window;
    auto* edit = new IpAddressEdit(&window);
    auto* after = new QLineEdit(&window);
    ShowActive(&window);
    edit->setFocus();
    ASSERT_TRUE(edit->Field(0)->hasFocus());
    QTest::keyClick(edit->Field(0), Qt::Key_Tab);
    EXPECT_TRUE(after->hasFocus());
}

}  // namespace
}  // namespace voldrane::test
