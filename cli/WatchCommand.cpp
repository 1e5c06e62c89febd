// `voldranectl watch`: following the network without the tray program, for sessions without a
// notification area and for a user service. One wait on the OS's network events, the settle
// timer and the request to end (platform/WatchLoop.h); nothing wakes it while nothing changes.
#include <ostream>

#include "cli/CliCommon.h"
#include "network/Detection.h"
#include "network/Matching.h"
#include "network/NetworkFollower.h"
#include "network/OfficeSelection.h"
#include "offices/CRegistry.h"
#include "offices/OfficeStore.h"
#include "platform/Platform.h"
#include "platform/WatchLoop.h"

namespace voldrane::cli {

namespace {

int Fail(const Command& self, std::ostream& err, const std::string& message, int code) {
    err << "voldranectl " << self.name << ": " << message << '\n';
    return code;
}

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

    std::string error;
    const auto loop = platform::OpenWatchLoop(&error);
    if (!loop) return Fail(self, err, error, kExitFailure);

    CNetworkFollower follower(target, *loop);
    follower.Settled();  // where it starts
    for (;;) {
        switch (loop->Wait(&error)) {
            case platform::IWatchLoop::Wake::NetworkChanged:
                follower.NetworkChanged();
                break;
            case platform::IWatchLoop::Wake::TimerExpired:
                follower.Settled();
                break;
            case platform::IWatchLoop::Wake::Stop:
                return error.empty() ? kExitOk : Fail(self, err, error, kExitFailure);
        }
    }
}

}  // namespace voldrane::cli
