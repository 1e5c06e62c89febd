// `voldranectl watch`'s wait on Linux: one poll over the kernel's and the resolver's events, a
// timerfd for the settle timer and a signalfd for the termination signals, so that
// termination arrives between two steps, never inside one.
#include "platform/WatchLoop.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "platform/NetworkEvents.h"

namespace voldrane::platform {

namespace {

class LinuxWatchLoop final : public IWatchLoop {
  public:
    LinuxWatchLoop(int sigfd, int timerfd, std::unique_ptr<INetworkEvents> events)
        : m_events(std::move(events)) {
        m_fds = {{sigfd, POLLIN, 0}, {timerfd, POLLIN, 0}};
        for (int fd : m_events->Descriptors()) m_fds.push_back({fd, POLLIN, 0});
    }
    ~LinuxWatchLoop() override {
        close(m_fds[0].fd);
        close(m_fds[1].fd);
    }
    LinuxWatchLoop(const LinuxWatchLoop&) = delete;
    LinuxWatchLoop& operator=(const LinuxWatchLoop&) = delete;

    int64_t NowMs() const override {
        timespec ts{};
        clock_gettime(CLOCK_MONOTONIC, &ts);
        return int64_t{ts.tv_sec} * 1000 + ts.tv_nsec / 1000000;
    }
    void Start(int ms) override {
        itimerspec due{};
        // Zero would disarm the timer: due at once is one nanosecond.
        due.it_value.tv_sec = ms / 1000;
        due.it_value.tv_nsec = ms > 0 ? long{ms % 1000} * 1000000 : 1;
        timerfd_settime(m_fds[1].fd, 0, &due, nullptr);
    }

    Wake Wait(std::string* error) override {
        for (;;) {
            // What the last poll saw is handed out one at a time: the timer, then the events.
            if (m_timerDue) {
                m_timerDue = false;
                uint64_t expirations = 0;
                while (read(m_fds[1].fd, &expirations, sizeof expirations) < 0 && errno == EINTR) {
                }
                return Wake::TimerExpired;
            }
            for (size_t i = 2; i < m_fds.size(); ++i) {
                if (!m_fds[i].revents || m_fds[i].fd < 0) continue;
                m_fds[i].revents = 0;
                const auto drained = m_events->Drain(m_fds[i].fd);
                if (drained == INetworkEvents::Drained::Closed) m_fds[i].fd = -1;
                if (drained == INetworkEvents::Drained::Changed) return Wake::NetworkChanged;
            }
            if (poll(m_fds.data(), m_fds.size(), -1) < 0) {
                if (errno == EINTR) continue;
                if (error) *error = std::string("poll: ") + std::strerror(errno);
                return Wake::Stop;
            }
            if (m_fds[0].revents) return Wake::Stop;
            m_timerDue = m_fds[1].revents != 0;
        }
    }

  private:
    std::unique_ptr<INetworkEvents> m_events;
    std::vector<pollfd> m_fds;
    bool m_timerDue = false;
};

}  // namespace

std::unique_ptr<IWatchLoop> OpenWatchLoop(std::string* error) {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int sigfd = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    const int timerfd = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    const int waitErrno = errno;
    auto events = OpenNetworkEvents("", error);
    if (sigfd < 0 || timerfd < 0 || !events) {
        if (sigfd >= 0) close(sigfd);
        if (timerfd >= 0) close(timerfd);
        if (events && error) *error = std::string("cannot wait: ") + std::strerror(waitErrno);
        return nullptr;
    }
    return std::make_unique<LinuxWatchLoop>(sigfd, timerfd, std::move(events));
}

}  // namespace voldrane::platform
