// The dialogs against a private cupsd: one server per test process, real widgets offscreen.
#include <gtest/gtest.h>

#include <QApplication>
#include <memory>

#include "tests/printers/CupsTest.h"
#include "tests/printers/PrivateCupsd.h"

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
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    testing::InitGoogleTest(&argc, argv);
    testing::AddGlobalTestEnvironment(new voldrane::test::CupsEnvironment);
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
