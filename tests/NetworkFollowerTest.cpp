// Following the network: settling bursts of changes, and when a detection applies an office.
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "network/NetworkFollower.h"

namespace voldrane::test {
namespace {

// Time moves only when the test turns it; an expiry that falls due calls the follower.
class FakeTimer final : public ISettleTimer {
  public:
    int64_t NowMs() const override { return now; }
    void Start(int ms) override { due = now + ms; }
    void Advance(int ms, CNetworkFollower& follower) {
        const int64_t until = now + ms;
        while (due && *due <= until) {
            now = *due;
            due.reset();
            results.push_back(follower.Settled());
        }
        now = until;
    }
    int64_t now = 0;
    std::optional<int64_t> due;
    std::vector<CNetworkFollower::Result> results;
};

class FakeTarget final : public IFollowTarget {
  public:
    bool Following() override { return autoDetect && follow; }
    int MatchNetworkNow() override {
        ++detections;
        return match;
    }
    int AppliedOffice() const override { return applied; }
    void ApplyFollowedOffice(int position) override {
        applied = position;
        applies.push_back(position);
    }
    void ShowFollowedNoMatch() override {
        applied = -1;
        ++noMatch;
    }
    bool autoDetect = true, follow = true;
    int match = 0, applied = 0, detections = 0, noMatch = 0;
    std::vector<int> applies;
};

using R = CNetworkFollower::Result;

struct FollowerTest : ::testing::Test {
    FakeTarget target;
    FakeTimer timer;
    CNetworkFollower follower{target, timer, 1000, 5000};
};

TEST_F(FollowerTest, ABurstGivesOneDetectionOnceQuietAndAppliesOnlyAnotherOffice) {
    target.match = 1;
    for (int i = 0; i < 50; ++i) {  // 50 changes in 2 s
        follower.NetworkChanged();
        timer.Advance(40, follower);
    }
    EXPECT_TRUE(follower.Pending());
    timer.Advance(959, follower);  // the last change came 40 ms ago
    EXPECT_EQ(target.detections, 0) << "not quiet for a whole settle time yet";
    timer.Advance(1, follower);
    EXPECT_EQ(target.detections, 1);
    EXPECT_FALSE(follower.Pending());
    EXPECT_EQ(target.applies, std::vector<int>{1});

    // The same office again (a lease renewed with the same values): nothing is applied.
    follower.NetworkChanged();
    timer.Advance(1000, follower);
    EXPECT_EQ(timer.results, (std::vector<R>{R::Applied, R::Unchanged}));
    EXPECT_EQ(target.applies, std::vector<int>{1});
}

TEST_F(FollowerTest, AStormThatNeverRestsIsStillReadAtTheMaximumDelay) {
    for (int i = 0; i < 1000; ++i) {
        follower.NetworkChanged();
        timer.Advance(10, follower);  // 10 s of changes 10 ms apart
    }
    EXPECT_EQ(target.detections, 2);
}

TEST_F(FollowerTest, NoMatchIsSaidOnceAndTheSwitchesGateEverything) {
    target.match = -1;
    follower.NetworkChanged();
    timer.Advance(1000, follower);
    follower.NetworkChanged();
    timer.Advance(1000, follower);
    EXPECT_EQ(target.noMatch, 1);
    EXPECT_EQ(timer.results, (std::vector<R>{R::NoMatch, R::Unchanged}));

    // A user's own choice (automatic detection off), or following off: nothing is read.
    target.match = 2;
    target.autoDetect = false;
    follower.NetworkChanged();
    timer.Advance(1000, follower);
    target.autoDetect = true;
    target.follow = false;
    follower.NetworkChanged();
    timer.Advance(1000, follower);
    EXPECT_EQ(target.detections, 2);
    EXPECT_TRUE(target.applies.empty());
}

}  // namespace
}  // namespace voldrane::test
