#pragma once

#include <cstdint>

namespace voldrane {

// A one-shot timer with a clock, as the follower needs them; the tray program uses the event
// loop's timer, `watch` a timerfd, tests a hand-turned fake. Its expiry calls
// CNetworkFollower::Settled.
class ISettleTimer {
  public:
    virtual ~ISettleTimer() = default;
    virtual int64_t NowMs() const = 0;  // any monotonic origin
    // Expires once after `ms`; a new Start replaces the one before.
    virtual void Start(int ms) = 0;
};

// What following acts on: the tray program's frame, or `watch`.
class IFollowTarget {
  public:
    virtual ~IFollowTarget() = default;
    // Automatic detection and following are both on. A user's own office choice turns
    // automatic detection off, and so is never overridden.
    virtual bool Following() = 0;
    // Reads the network afresh and matches it: the office's position, -1 when none matches.
    virtual int MatchNetworkNow() = 0;
    virtual int AppliedOffice() const = 0;  // -1 when none is applied
    virtual void ApplyFollowedOffice(int position) = 0;
    // Nothing matches any more: say so; the printer stays.
    virtual void ShowFollowedNoMatch() = 0;
};

inline constexpr int kFollowSettleMs = 1000;
// A network that never goes quiet (a flapping link) is still read this often.
inline constexpr int kFollowMaxDelayMs = 5000;

// Network changes come in bursts (link, addresses, routes, then the resolver): each change
// restarts the settle time, and once the network has been quiet that long it is read once.
class CNetworkFollower {
  public:
    enum class Result { Off, Unchanged, Applied, NoMatch };

    CNetworkFollower(IFollowTarget& target, ISettleTimer& timer, int settleMs = kFollowSettleMs,
                     int maxDelayMs = kFollowMaxDelayMs)
        : m_target(target), m_timer(timer), m_settleMs(settleMs), m_maxDelayMs(maxDelayMs) {}

    // The OS said the network may have changed.
    void NetworkChanged();
    // The timer's expiry: reads, matches and applies when the office differs.
    Result Settled();
    // A change was seen and has not been followed yet.
    bool Pending() const { return m_pending; }

  private:
    IFollowTarget& m_target;
    ISettleTimer& m_timer;
    int m_settleMs;
    int m_maxDelayMs;
    bool m_pending = false;
    int64_t m_firstChange = 0;
};

}  // namespace voldrane
