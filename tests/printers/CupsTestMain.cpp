// One private cupsd per test process (ctest runs each test in a process of its own); every
// test starts from an empty server through CupsTest::SetUp.
#include <gtest/gtest.h>

#include <memory>

#include "tests/printers/CupsTest.h"

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
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::AddGlobalTestEnvironment(new voldrane::test::CupsEnvironment);
    return RUN_ALL_TESTS();
}
