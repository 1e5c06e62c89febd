#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <functional>

#include "network/NetworkFollower.h"

namespace voldrane::ui::qt {

// The settle timer for following the network, on Qt's event loop.
class QtSettleTimer final : public ISettleTimer {
  public:
    explicit QtSettleTimer(std::function<void()> expired) {
        m_timer.setSingleShot(true);
        QObject::connect(&m_timer, &QTimer::timeout, std::move(expired));
        m_clock.start();
    }
    int64_t NowMs() const override { return m_clock.elapsed(); }
    void Start(int ms) override { m_timer.start(ms); }

  private:
    QTimer m_timer;
    QElapsedTimer m_clock;
};

}  // namespace voldrane::ui::qt
