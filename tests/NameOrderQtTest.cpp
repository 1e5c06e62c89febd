// The lists' sort rule in plain C++ agrees with the order Qt's list compared names in
// (QString::compare without regard to case, then with it) for names in the scripts offices
// and printers are named in.
#include <gtest/gtest.h>

#include <QString>
#include <string>
#include <vector>

#include "ui/NameOrder.h"

namespace voldrane::test {
namespace {

bool QtLess(const std::string& a, const std::string& b) {
    const QString qa = QString::fromStdString(a), qb = QString::fromStdString(b);
    const int folded = QString::compare(qa, qb, Qt::CaseInsensitive);
    return folded != 0 ? folded < 0 : QString::compare(qa, qb, Qt::CaseSensitive) < 0;
}

TEST(NameOrderQtTest, AgreesWithQtsCompare) {
    const std::vector<std::string> names = {"",
                                            "a",
                                            "A",
                                            "Alpha",
                                            "alpha",
                                            "ALPHA",
                                            "b",
                                            "Beta-Laser",
                                            "beta",
                                            "Zeta",
                                            "zz",
                                            "_x",
                                            "[x",
                                            "1st floor",
                                            "\xC3\x84rger",
                                            "\xC3\xA4rger",
                                            "\xC3\x9F",
                                            "ss",
                                            "\xC3\x89tage",
                                            "\xC3\xA9tage",
                                            "\xC5\x81\xC3\xB3"
                                            "d\xC5\xBA",
                                            "\xC5\x82\xC3\xB3"
                                            "d\xC5\xBA",
                                            "\xC5\xB8",
                                            "\xC3\xBF",
                                            "\xC5\xBF",
                                            "s",
                                            "\xCE\x91\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1",
                                            "\xCE\xB1\xCE\xB8\xCE\xAE\xCE\xBD\xCE\xB1",
                                            "\xCF\x82",
                                            "\xCF\x83",
                                            "\xCE\xA3",
                                            "\xD0\x9C\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",
                                            "\xD0\xBC\xD0\xBE\xD1\x81\xD0\xBA\xD0\xB2\xD0\xB0",
                                            "\xD0\x81",
                                            "\xD1\x91",
                                            "\xD4\xB1",
                                            "\xD5\xA1",
                                            "\xEF\xBC\xA1",
                                            "\xEF\xBD\x81",
                                            "\xE1\xBA\x9E",
                                            "\xE6\x9D\xB1\xE4\xBA\xAC",
                                            "\xF0\x9F\x98\x80",
                                            "\xEF\xBF\xBD",
                                            "\x80",
                                            "B\xFCro"};
    for (const std::string& a : names)
        for (const std::string& b : names)
            EXPECT_EQ(ui::NameLess(a, b), QtLess(a, b)) << "\"" << a << "\" < \"" << b << "\"";
}

}  // namespace
}  // namespace voldrane::test
