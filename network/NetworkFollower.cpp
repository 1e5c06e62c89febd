#include "network/NetworkFollower.h"

#include <algorithm>

namespace voldrane {

void CNetworkFollower::NetworkChanged() {
    const int64_t now = m_timer.NowMs();
    if (!m_pending) {
        m_pending = true;
        m_firstChange = now;
    }
    const int64_t latest = m_firstChange + m_maxDelayMs;
    m_timer.Start(static_cast<int>(std::clamp<int64_t>(latest - now, 0, m_settleMs)));
}

CNetworkFollower::Result CNetworkFollower::Settled() {
    m_pending = false;
    if (!m_target.Following()) return Result::Off;
    const int position = m_target.MatchNetworkNow();
    if (position < 0) {
        // Said once: the next change that still matches nothing has nothing new to say.
        if (m_target.AppliedOffice() < 0) return Result::Unchanged;
        m_target.ShowFollowedNoMatch();
        return Result::NoMatch;
    }
    if (position == m_target.AppliedOffice()) return Result::Unchanged;
    m_target.ApplyFollowedOffice(position);
    return Result::Applied;
}

}  // namespace voldrane
