// `voldranectl watch`: following the network without the tray program, for sessions without a
// notification area and for a user service. One wait on the kernel's and the resolver's
// events, the settle timer and the termination signals; nothing wakes it while nothing changes.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <ostream>

#include "cli/CliCommon.h"
#include "network/Detection.h"
#include "network/Matching.h"
#include "network/NetworkFollower.h"
#include "network/OfficeSelection.h"
#include "offices/CRegistry.h"
#include "offices/OfficeStore.h"
#include "platform/NetworkEvents.h"
#include "platform/Platform.h"

namespace voldrane::cli {

namespace {

int Fail(const Command& self, std::ostream& err, const std::string& message, int code) {
    err << "voldranectl " << self.name << ": " << message << '\n';
    return code;
}

// The settle timer as a timerfd, waited on with the rest.
class TimerFd final : public ISettleTimer {
  public:
    TimerFd() : m_fd(timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC)) {}
    ~TimerFd() override {
        if (m_fd >= 0) close(m_fd);
    }
    TimerFd(const TimerFd&) = delete;
    TimerFd& operator=(const TimerFd&) = delete;
    int Fd() const { return m_fd; }
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
        timerfd_settime(m_fd, 0, &due, nullptr);
    }
    void Acknowledge() {
        uint64_t expirations = 0;
        while (read(m_fd, &expirations, sizeof expirations) < 0 && errno == EINTR) {
        }
    }

  private:
    int m_fd;
};

// Follows with the settings read afresh at each detection, so that `voldranectl set`, `edit`
// and the tray program's dialog take effect without a restart. Running `watch` is the choice
// to follow: only "Auto Detect" off (a chosen default office) stops it.
class WatchTarget final : public IFollowTarget {
  public:
    WatchTarget(std::ostream& out, std::ostream& err) : m_out(out), m_err(err) {}

    // False when the settings cannot be read; the offices then stay as they were.
    bool Load() {
        const auto store = platform::CreateRegistryStore();
        CRegistry registry(*store);
        COfficeList fresh;
        LoadOffices(registry, fresh);
        if (!store->ReadError().empty()) {
            m_readError = store->ReadError();
            return false;
        }
        m_offices = std::move(fresh);
        m_autoDetect = ReadAutoDetect(registry);
        return true;
    }
    const std::string& ReadError() const { return m_readError; }

    bool Following() override {
        if (!Load()) m_err << "voldranectl watch: " << m_readError << '\n';
        return m_autoDetect;
    }
    int MatchNetworkNow() override {
        const CNetworkSettings now = DetectNetworkSettings(*m_network);
        std::ostream discard(nullptr);
        return FindMatchingOffice(m_offices, now, discard);
    }
    int AppliedOffice() const override {
        for (int p = 0; p < m_offices.GetSize(); ++p)
            if (m_offices.ElementAt(p).m_strKeyName == m_appliedKey) return p;
        return -1;
    }
    void ApplyFollowedOffice(int position) override {
        int current = -1;
        const SelectionOutcome outcome =
            SelectOffice(m_offices, position, *m_spooler, nullptr, current);
        const COfficeNetwork& office = m_offices.ElementAt(position);
        m_appliedKey = office.m_strKeyName;
        m_out << office.m_strOfficeName << ": " << office.m_strDefaultPrinter << std::endl;
        if (!outcome.printerSet)
            m_err << "voldranectl watch: default printer unchanged: " << outcome.error << '\n';
    }
    void ShowFollowedNoMatch() override {
        m_appliedKey.clear();
        m_err << "Cannot Determine Office Network\n";
    }

  private:
    std::ostream& m_out;
    std::ostream& m_err;
    std::unique_ptr<platform::INetworkSource> m_network = platform::CreateNetworkSource();
    std::unique_ptr<platform::ISpooler> m_spooler = platform::CreateSpooler();
    COfficeList m_offices;
    bool m_autoDetect = true;
    std::string m_appliedKey;
    std::string m_readError;
};

}  // namespace

int RunWatch(const Command& self, const std::vector<std::string>& args, std::ostream& out,
             std::ostream& err) {
    const auto parsed = ParseArgs(self.name, args, {}, err);
    if (!parsed) return UsageError(self, err, "");
    if (!parsed->positionals.empty()) return UsageError(self, err, "unexpected argument");

    WatchTarget target(out, err);
    if (!target.Load()) return Fail(self, err, target.ReadError(), kExitFailure);

    // Termination arrives as a readable descriptor, between two steps, never inside one.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGINT);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    const int sigfd = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    std::string error;
    const auto events = platform::OpenNetworkEvents("", &error);
    TimerFd timer;
    if (sigfd < 0 || timer.Fd() < 0 || !events) {
        if (sigfd >= 0) close(sigfd);
        return Fail(self, err, events ? std::string("cannot wait: ") + std::strerror(errno) : error,
                    kExitFailure);
    }

    CNetworkFollower follower(target, timer);
    follower.Settled();  // where it starts

    std::vector<pollfd> fds{{sigfd, POLLIN, 0}, {timer.Fd(), POLLIN, 0}};
    for (int fd : events->Descriptors()) fds.push_back({fd, POLLIN, 0});
    for (;;) {
        if (poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            close(sigfd);
            return Fail(self, err, std::string("poll: ") + std::strerror(errno), kExitFailure);
        }
        if (fds[0].revents) break;
        if (fds[1].revents) {
            timer.Acknowledge();
            follower.Settled();
        }
        for (size_t i = 2; i < fds.size(); ++i) {
            if (!fds[i].revents || fds[i].fd < 0) continue;
            const auto drained = events->Drain(fds[i].fd);
            if (drained == platform::INetworkEvents::Drained::Closed) fds[i].fd = -1;
            if (drained == platform::INetworkEvents::Drained::Changed) follower.NetworkChanged();
        }
    }
    close(sigfd);
    return kExitOk;
}

}  // namespace voldrane::cli
