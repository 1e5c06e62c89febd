// voldranectl's printer commands, run as a user would, against the private cupsd.
#include <gtest/gtest.h>

#include "tests/printers/CupsTest.h"

namespace voldrane::test {
namespace {

ProcessResult Ctl(const std::vector<std::string>& args) {
    std::vector<std::string> argv{VOLDRANECTL};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProcess(argv, std::chrono::seconds(30));
}

TEST_F(CupsTest, PrintersListsTheCatalogueWithTheDefaultMarked) {
    AddQueues({"Zeta", "office_b", "alpha"});
    ASSERT_EQ(CupsTool({"/usr/bin/lpoptions", "-p", "office_b/draft", "-o", "sides=one-sided"}),
              "");
    ASSERT_EQ(CupsTool({"/usr/bin/lpoptions", "-d", "office_b/draft"}), "");

    auto r = Ctl({"printers"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "  alpha\n  office_b\n* office_b/draft\n  Zeta\n");

    r = Ctl({"printers", "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const std::string compact = [&] {
        std::string s;
        for (char c : r.out)
            if (c != ' ' && c != '\n') s += c;
        return s;
    }();
    EXPECT_EQ(compact,
              R"([{"name":"alpha","default":false},{"name":"office_b","default":false},)"
              R"({"name":"office_b/draft","default":true},{"name":"Zeta","default":false}])");
}

TEST_F(CupsTest, PrintersWithoutPrintersOrServer) {
    auto r = Ctl({"printers", "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "[]\n");

    UseCupsServer(g_cupsd->Dir() + "/missing.sock");
    r = Ctl({"printers"});
    UseCupsServer(g_cupsd->Socket());
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("print server unreachable"), std::string::npos) << r.err;

    r = Ctl({"printers", "extra"});
    EXPECT_EQ(r.exitCode, 2);
}

}  // namespace
}  // namespace voldrane::test
