// Network events in Qt's event loop: one read notifier per descriptor, so that the program
// sleeps until the kernel, the resolver's folder or logind has something to say.
#include <QSocketNotifier>
#include <vector>

#include "platform/NetworkWatch.h"

namespace voldrane::platform {

namespace {

class QtNetworkWatch final : public INetworkWatch {
  public:
    QtNetworkWatch(std::unique_ptr<INetworkEvents> events, std::function<void()> changed)
        : m_events(std::move(events)), m_changed(std::move(changed)) {
        for (int fd : m_events->Descriptors()) {
            auto notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
            QSocketNotifier* n = notifier.get();
            QObject::connect(n, &QSocketNotifier::activated, [this, n, fd] {
                const INetworkEvents::Drained d = m_events->Drain(fd);
                if (d == INetworkEvents::Drained::Closed) n->setEnabled(false);
                if (d == INetworkEvents::Drained::Changed) m_changed();
            });
            m_notifiers.push_back(std::move(notifier));
        }
    }
    ~QtNetworkWatch() override {
        m_notifiers.clear();  // before the descriptors close
    }

  private:
    std::unique_ptr<INetworkEvents> m_events;
    std::function<void()> m_changed;
    std::vector<std::unique_ptr<QSocketNotifier>> m_notifiers;
};

}  // namespace

std::unique_ptr<INetworkWatch> WatchNetwork(std::unique_ptr<INetworkEvents> events,
                                            std::function<void()> changed) {
    if (!events) return nullptr;
    return std::make_unique<QtNetworkWatch>(std::move(events), std::move(changed));
}

}  // namespace voldrane::platform
