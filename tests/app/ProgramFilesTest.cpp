// Where the tray program finds voldranectl and the manual: beside itself, in the build tree
// only when it runs from there, else where they are installed.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QString>
#include <filesystem>
#include <fstream>

#include "app/Help.h"
#include "platform/ProgramFiles.h"

namespace voldrane {
namespace {

namespace fs = std::filesystem;

class ProgramFilesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/voldrane-files-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        fs::create_directories(dir + "/bin");
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string dir;
};

TEST_F(ProgramFilesTest, VoldranectlComesFromBesideTheProgramOrTheBuildTreeItRunsFrom) {
    const std::string self = platform::ProgramFolder();
    ASSERT_TRUE(platform::InBuildTree(self)) << self;
    EXPECT_EQ(platform::FindVoldranectl(self), VOLDRANECTL);

    // A program elsewhere never takes the build tree's.
    const std::string bin = dir + "/bin";
    EXPECT_FALSE(platform::InBuildTree(bin));
    EXPECT_FALSE(platform::InBuildTree(std::string(VOLDRANE_TEST_BUILD_TREE) + "-other"));
    std::string looked;
    const std::string installed = VOLDRANE_TEST_INSTALL_BINDIR "/voldranectl";
    const std::string found = platform::FindVoldranectl(bin, &looked);
    EXPECT_NE(found, VOLDRANECTL);
    if (!fs::exists(installed)) {
        EXPECT_EQ(found, "");
        EXPECT_EQ(looked, bin + "/voldranectl, " + installed);
    }

    // Beside it: a regular file that may be run, nothing else.
    const std::string beside = bin + "/voldranectl";
    fs::create_directory(beside);
    EXPECT_NE(platform::FindVoldranectl(bin), beside);
    fs::remove(beside);
    std::ofstream(beside) << "#!/bin/sh\n";
    chmod(beside.c_str(), 0644);
    EXPECT_NE(platform::FindVoldranectl(bin), beside);
    chmod(beside.c_str(), 0755);
    EXPECT_EQ(platform::FindVoldranectl(bin), beside);
}

TEST_F(ProgramFilesTest, ManualComesFromBesideTheProgramOrTheSourceTreeItRunsFrom) {
    const QString source = QStringLiteral(VOLDRANE_TEST_SOURCE_DIR "/docs/help");
    EXPECT_EQ(ManualDirFor(QString::fromStdString(platform::ProgramFolder())), source);

    const QString bin = QString::fromStdString(dir + "/bin");
    const QString installed = QStringLiteral(VOLDRANE_TEST_HELP_INSTALL_DIR);
    if (!fs::exists(installed.toStdString() + "/index.html")) {
        EXPECT_EQ(ManualDirFor(bin), "");
    }
    EXPECT_NE(ManualDirFor(bin), source);

    const std::string beside = dir + "/share/doc/voldrane/help";
    fs::create_directories(beside + "/index.html");  // a folder is no manual
    EXPECT_NE(ManualDirFor(bin).toStdString(), beside);
    fs::remove(beside + "/index.html");
    std::ofstream(beside + "/index.html") << "<html></html>\n";
    EXPECT_EQ(ManualDirFor(bin).toStdString(), beside);
}

}  // namespace
}  // namespace voldrane
