// voldranectl's printer commands, run as a user would, against the private cupsd.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

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
    EXPECT_EQ(nlohmann::json::parse(r.out), nlohmann::json::parse(R"([
        {"name": "alpha", "default": false}, {"name": "office_b", "default": false},
        {"name": "office_b/draft", "default": true}, {"name": "Zeta", "default": false}])"));
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

// The seven values `voldranectl detect` reports for this machine, in store order.
std::vector<std::string> DetectedNetwork() {
    const auto r = Ctl({"detect", "--json"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    const auto j = nlohmann::json::parse(r.out);
    std::vector<std::string> v;
    for (const char* name : {"IP Address", "Subnet Mask", "Default Gateway", "DHCP Server",
                             "DNS Server 1", "DNS Server 2", "WINS Server"})
        v.push_back(j.at(name).get<std::string>());
    return v;
}

// A network that agrees with this machine's in nothing the matcher tests.
std::vector<std::string> ElsewhereNetwork(const std::vector<std::string>& here) {
    const std::string net = here[0].rfind("203.0.113.", 0) == 0 ? "198.51.100." : "203.0.113.";
    return {net + "5", "255.255.255.0", net + "1", net + "2", net + "3", net + "4", net + "6"};
}

struct StoredOffice {
    std::string key, name, printer;
    std::vector<std::string> network;
};

// Writes the user's store file as the settings store lays it out.
void WriteStore(const std::vector<StoredOffice>& offices) {
    const std::string dir = std::string(getenv("XDG_CONFIG_HOME")) + "/Kestamor";
    std::filesystem::create_directories(dir);
    std::ofstream f(dir + "/Voldrane.reg");
    f << "Windows Registry Editor Version 5.00\r\n\r\n"
      << "[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices]\r\n\r\n";
    const char* names[7] = {"IP Address",   "Subnet Mask",  "Default Gateway", "DHCP Server",
                            "DNS Server 1", "DNS Server 2", "WINS Server"};
    for (const auto& o : offices) {
        f << "[HKEY_CURRENT_USER\\SOFTWARE\\Kestamor\\Voldrane\\Offices\\" << o.key << "]\r\n"
          << "\"Office Name\"=\"" << o.name << "\"\r\n";
        for (int i = 0; i < 7; ++i) f << '"' << names[i] << "\"=\"" << o.network[i] << "\"\r\n";
        f << "\"Default Printer\"=\"" << o.printer << "\"\r\n\r\n";
    }
    ASSERT_TRUE(f.good());
}

class ApplyTest : public CupsTest {
  protected:
    void SetUp() override {
        CupsTest::SetUp();
        AddQueues({"alpha", "office_b", "Zeta"});
        ASSERT_EQ(CupsTool({"/usr/bin/lpoptions", "-p", "office_b/draft", "-o", "sides=one-sided"}),
                  "");
        ASSERT_EQ(CupsTool({"/usr/bin/lpoptions", "-d", "alpha"}), "");
        here = DetectedNetwork();
        elsewhere = ElsewhereNetwork(here);
    }
    std::vector<std::string> here, elsewhere;
};

TEST_F(ApplyTest, AutoAppliesTheFirstMatchingOffice) {
    WriteStore({{"00000001", "Elsewhere", "Zeta", elsewhere},
                {"00000002", "Here", "office_b/draft", here},
                {"00000003", "Here too", "Zeta", here}});
    const auto r = Ctl({"auto"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "Here\ndefault printer: office_b/draft\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(LpstatDefault(), "system default destination: office_b/draft");
}

TEST_F(ApplyTest, AutoWithoutMatchLeavesTheDefault) {
    for (const auto& offices :
         {std::vector<StoredOffice>{},
          std::vector<StoredOffice>{{"00000001", "Elsewhere", "Zeta", elsewhere}}}) {
        SCOPED_TRACE(offices.size());
        WriteStore(offices);
        const auto r = Ctl({"auto"});
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "Cannot Determine Office Network\n");
        EXPECT_EQ(LpstatDefault(), "system default destination: alpha");
    }
}

TEST_F(ApplyTest, ApplyByKeyOrName) {
    WriteStore({{"0000000A", "Elsewhere", "Zeta", elsewhere},
                {"0000000B", "Twin", "office_b", here},
                {"0000000C", "Twin", "alpha", here},
                {"0000000D", "No printer", "", here},
                {"0000000E", "Gone printer", "Gone", here}});
    struct {
        std::string arg;
        int exitCode;
        std::string out, errPart, lpstat;
    } cases[] = {
        {"Elsewhere", 0, "Elsewhere\ndefault printer: Zeta\n", "", "Zeta"},
        {"Twin", 0, "Twin\ndefault printer: office_b\n", "", "office_b"},  // the first
        {"0000000c", 0, "Twin\ndefault printer: alpha\n", "", "alpha"},    // key, any case
        {"twin", 2, "", "no office has the key or the name \"twin\"", "alpha"},
        // Applied, but the print server keeps the current default: exit 3.
        {"Gone printer", 3, "Gone printer\n", "no printer named \"Gone\" on the print server",
         "alpha"},
        {"No printer", 3, "No printer\n", "default printer unchanged", "alpha"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arg);
        const auto r = Ctl({"apply", c.arg});
        EXPECT_EQ(r.exitCode, c.exitCode) << r.err;
        EXPECT_EQ(r.out, c.out);
        EXPECT_NE(r.err.find(c.errPart), std::string::npos) << r.err;
        EXPECT_EQ(LpstatDefault(), "system default destination: " + c.lpstat);
    }
    EXPECT_EQ(Ctl({"apply"}).exitCode, 2);
}

TEST_F(ApplyTest, UnreadableStoreIsAFailure) {
    std::filesystem::create_directories(std::string(getenv("XDG_CONFIG_HOME")) +
                                        "/Kestamor/Voldrane.reg");
    for (const char* cmd : {"auto", "apply"}) {
        const auto r = cmd == std::string("auto") ? Ctl({cmd}) : Ctl({cmd, "Here"});
        EXPECT_EQ(r.exitCode, 3) << cmd;
        EXPECT_NE(r.err.find("Voldrane.reg"), std::string::npos) << r.err;
    }
    EXPECT_EQ(LpstatDefault(), "system default destination: alpha");
}

// A print server that takes connections and never answers costs `auto` the spooler's
// bound (3 s), not the minute libcups would wait on its own.
TEST_F(ApplyTest, AutoAgainstASilentServerEndsNearTheBound) {
    WriteStore({{"00000001", "Here", "Zeta", here}});
    const std::string path = g_cupsd->Dir() + "/silent.sock";
    SilentListener silent(path);
    ASSERT_TRUE(silent.Ok());
    UseCupsServer(path);
    const auto r = Ctl({"auto"});
    UseCupsServer(g_cupsd->Socket());

    EXPECT_EQ(r.exitCode, 3) << r.err;
    EXPECT_EQ(r.out, "Here\n");
    EXPECT_NE(r.err.find("print server not answering"), std::string::npos) << r.err;
    EXPECT_LT(r.elapsed.count(), 6.0);  // twice the bound: a hang guard, not a speed test
}

}  // namespace
}  // namespace voldrane::test
