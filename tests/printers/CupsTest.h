#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/printers/PrivateCupsd.h"
#include "tests/printers/TestProcess.h"

namespace voldrane::test {

extern PrivateCupsd* g_cupsd;

// A test against the private cupsd, which it finds empty.
class CupsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(g_cupsd, nullptr);
        ASSERT_EQ(g_cupsd->StartError(), "");
        ASSERT_EQ(g_cupsd->Reset(), "");
    }

    // Raw queues that print into /dev/null.
    static void AddQueues(const std::vector<std::string>& names) {
        for (const auto& q : names)
            ASSERT_EQ(CupsTool({"/usr/sbin/lpadmin", "-p", q, "-E", "-v", "file:///dev/null"}), "");
    }

    // What `lpstat -d` says, e.g. "system default destination: Zeta".
    static std::string LpstatDefault() {
        const auto r = RunProcess({"/usr/bin/lpstat", "-d"}, std::chrono::seconds(20));
        std::string line = r.out;
        while (!line.empty() && line.back() == '\n') line.pop_back();
        return line;
    }
};

}  // namespace voldrane::test
