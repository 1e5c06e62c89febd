// One private cupsd per test process (ctest runs each test in a process of its own); every
// test starts from an empty server through CupsTest::SetUp. Test programs that drive real
// widgets are built with VOLDRANE_TEST_QAPPLICATION and get a QApplication on the offscreen
// platform as well.
#include <gtest/gtest.h>

#include <memory>

#include "tests/printers/CupsTest.h"
#include "tests/printers/PrivateCupsd.h"

#ifdef VOLDRANE_TEST_QAPPLICATION
#include <QApplication>
#endif

namespace voldrane::test {

PrivateCupsd* g_cupsd = nullptr;

namespace {

class CupsEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        m_server = std::make_unique<PrivateCupsd>();
        g_cupsd = m_server.get();
    }
    void TearDown() override {
        g_cupsd = nullptr;
        m_server.reset();
    }

  private:
    std::unique_ptr<PrivateCupsd> m_server;
};

}  // namespace
}  // namespace voldrane::test

int main(int argc, char** argv) {
#ifdef VOLDRANE_TEST_QAPPLICATION
    // Real widgets without a display; also for test discovery, which starts this program.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new voldrane::test::CupsEnvironment);
#ifdef VOLDRANE_TEST_QAPPLICATION
    QApplication app(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
