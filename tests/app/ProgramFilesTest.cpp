// Where the tray program finds voldranectl and the manual: beside itself, in the build tree
// only when it runs from there, else where they are installed.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QString>
#include <filesystem>
#include <fstream>

#include "platform/ProgramFiles.h"
#include "tests/support/TempFolder.h"
#include "ui/qt/Help.h"

namespace voldrane {
namespace {

namespace fs = std::filesystem;

TEST(ProgramFilesTest, VoldranectlAndTheManualFromBesideTheProgramOrTheBuildTreeItRunsFrom) {
    const std::string self = platform::ProgramFolder();
    ASSERT_TRUE(platform::InBuildTree(self)) << self;
    EXPECT_EQ(platform::FindVoldranectl(self), VOLDRANECTL);
    const QString source = QStringLiteral(VOLDRANE_TEST_SOURCE_DIR "/docs/help");
    EXPECT_EQ(ManualDirFor(QString::fromStdString(self)), source);

    // A program elsewhere never takes the build tree's files.
    const test::TempFolder tmp("voldrane-files");
    const std::string dir = tmp.Path(), bin = dir + "/bin";
    fs::create_directories(bin);
    EXPECT_FALSE(platform::InBuildTree(bin));
    EXPECT_FALSE(platform::InBuildTree(std::string(VOLDRANE_TEST_BUILD_TREE) + "-other"));
    EXPECT_NE(platform::FindVoldranectl(bin), VOLDRANECTL);
    EXPECT_NE(ManualDirFor(QString::fromStdString(bin)), source);

    // Beside it: a regular file that may be run (a folder may be "run" too), and the manual.
    const std::string beside = bin + "/voldranectl";
    fs::create_directory(beside);
    EXPECT_NE(platform::FindVoldranectl(bin), beside);
    fs::remove(beside);
    std::ofstream(beside) << "#!/bin/sh\n";
    chmod(beside.c_str(), 0755);
    EXPECT_EQ(platform::FindVoldranectl(bin), beside);
    const std::string manual = dir + "/share/doc/voldrane/help";
    fs::create_directories(manual);
    std::ofstream(manual + "/index.html") << "<html></html>\n";
    EXPECT_EQ(ManualDirFor(QString::fromStdString(bin)).toStdString(), manual);
}

}  // namespace
}  // namespace voldrane
