// Network change events on Linux: an rtnetlink socket on the address, route and link groups,
// inotify on resolv.conf, and logind's PrepareForSleep(false) on the system bus.
#include "platform/linux/NetworkEvents.h"

#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>
#include <set>

#include "platform/linux/NetworkPaths.h"
#include "platform/linux/SystemBus.h"

namespace voldrane::platform {

namespace {

class LinuxNetworkEvents final : public INetworkEvents {
  public:
    LinuxNetworkEvents(std::string resolvConf, std::vector<std::string> leaseDirs)
        : m_resolvConf(std::move(resolvConf)), m_leaseDirs(std::move(leaseDirs)) {}
    ~LinuxNetworkEvents() override {
        if (m_netlink >= 0) close(m_netlink);
        if (m_inotify >= 0) close(m_inotify);
        CloseBus();
    }
    LinuxNetworkEvents(const LinuxNetworkEvents&) = delete;
    LinuxNetworkEvents& operator=(const LinuxNetworkEvents&) = delete;

    bool OpenNetlink(std::string* error) {
        m_netlink = socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE);
        if (m_netlink < 0) return Failed("rtnetlink socket", error);
        sockaddr_nl sa{};
        sa.nl_family = AF_NETLINK;
        sa.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE;
        if (bind(m_netlink, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0) {
            close(m_netlink);
            m_netlink = -1;
            return Failed("rtnetlink bind", error);
        }
        return true;
    }

    bool OpenInotify(std::string* error) {
        m_inotify = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
        if (m_inotify < 0) return Failed("inotify", error);
        ArmResolvConf();
        // A DHCP lease renewed with other values (another DHCP or WINS server) may change no
        // address: the clients' lease files say so. A folder that is missing is no fault.
        for (const std::string& dir : m_leaseDirs) {
            const int wd = inotify_add_watch(m_inotify, dir.c_str(),
                                             IN_CLOSE_WRITE | IN_MOVED_TO | IN_ONLYDIR);
            if (wd >= 0) m_leaseWatches.insert(wd);
        }
        return true;
    }

    // On the system bus: logind's resume from sleep (the network may be another one now,
    // though the kernel may report nothing if the addresses happen to be alike), and
    // NetworkManager's state and DHCP values (a lease renewed with another DHCP or WINS
    // server changes no address). Services that are not there never send anything.
    void OpenSystemBus() {
        std::string ignored;
        m_bus = linux_os::SystemBus::Connect(std::chrono::milliseconds(1000), &ignored);
        if (!m_bus) return;
        sd_bus* bus = m_bus->Handle();
        int r =
            sd_bus_match_signal(bus, &m_slots[0], "org.freedesktop.login1",
                                "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                                "PrepareForSleep", &LinuxNetworkEvents::OnPrepareForSleep, this);
        if (r >= 0)
            r = sd_bus_match_signal(bus, &m_slots[1], "org.freedesktop.NetworkManager",
                                    "/org/freedesktop/NetworkManager",
                                    "org.freedesktop.NetworkManager", "StateChanged",
                                    &LinuxNetworkEvents::OnBusChange, this);
        if (r >= 0)
            r = sd_bus_add_match(bus, &m_slots[2],
                                 "type='signal',sender='org.freedesktop.NetworkManager',"
                                 "interface='org.freedesktop.DBus.Properties',"
                                 "member='PropertiesChanged',"
                                 "arg0='org.freedesktop.NetworkManager.DHCP4Config'",
                                 &LinuxNetworkEvents::OnBusChange, this);
        if (r < 0) {
            CloseBus();
            return;
        }
        // Whatever the call's wait read already would not wake a wait on the descriptor.
        while (sd_bus_process(m_bus->Handle(), nullptr) > 0) {
        }
    }

    bool Empty() const { return m_netlink < 0 && m_inotify < 0 && !m_bus; }

    std::vector<int> Descriptors() const override {
        std::vector<int> fds;
        for (int fd : {m_netlink, m_inotify, m_bus ? sd_bus_get_fd(m_bus->Handle()) : -1})
            if (fd >= 0) fds.push_back(fd);
        return fds;
    }

    Drained Drain(int fd) override {
        if (fd == m_netlink) return DrainNetlink();
        if (fd == m_inotify) return DrainInotify();
        if (m_bus && fd == sd_bus_get_fd(m_bus->Handle())) return DrainBus();
        return Drained::Nothing;
    }

  private:
    static bool Failed(const char* what, std::string* error) {
        if (error) *error = std::string(what) + ": " + std::strerror(errno);
        return false;
    }

    Drained DrainNetlink() {
        bool changed = false;
        alignas(nlmsghdr) std::array<char, 16384> buffer;
        for (;;) {
            const ssize_t n = recv(m_netlink, buffer.data(), buffer.size(), MSG_DONTWAIT);
            if (n < 0) {
                if (errno == EINTR) continue;
                // Messages were lost: something changed, though not known what.
                if (errno == ENOBUFS) {
                    changed = true;
                    continue;
                }
                break;  // EAGAIN: drained
            }
            if (n == 0) break;
            int left = static_cast<int>(n);
            for (auto* h = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(h, left);
                 h = NLMSG_NEXT(h, left)) {
                switch (h->nlmsg_type) {
                    case RTM_NEWADDR:
                    case RTM_DELADDR:
                    case RTM_NEWROUTE:
                    case RTM_DELROUTE:
                    case RTM_NEWLINK:
                    case RTM_DELLINK:
                        changed = true;
                        break;
                    default:
                        break;
                }
            }
        }
        return changed ? Drained::Changed : Drained::Nothing;
    }

    // The folders are watched for the file replaced by rename; the file itself for a write
    // in place, which a folder watch misses when the file is bind-mounted (ip netns exec
    // mounts /etc/netns/NAME/resolv.conf there). A link is followed to the file it names.
    void ArmResolvConf() {
        namespace fs = std::filesystem;
        constexpr uint32_t kFolder =
            IN_CREATE | IN_MOVED_TO | IN_DELETE | IN_MOVED_FROM | IN_CLOSE_WRITE | IN_ONLYDIR;
        const fs::path file(m_resolvConf);
        std::error_code ec;
        const fs::path target = fs::canonical(file, ec);
        for (const fs::path& p : {file.parent_path(), ec ? fs::path() : target.parent_path()})
            if (!p.empty()) inotify_add_watch(m_inotify, p.c_str(), kFolder);
        inotify_add_watch(m_inotify, file.c_str(), IN_CLOSE_WRITE | IN_MODIFY);
    }

    Drained DrainInotify() {
        bool changed = false;
        alignas(inotify_event) std::array<char, 4096> buffer;
        const std::string name = std::filesystem::path(m_resolvConf).filename();
        std::error_code ec;
        const std::string target = std::filesystem::canonical(m_resolvConf, ec).filename().string();
        for (;;) {
            const ssize_t n = read(m_inotify, buffer.data(), buffer.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) break;
            for (ssize_t i = 0; i < n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(buffer.data() + i);
                // The file's own watch has no name; a folder's names its entry.
                if (m_leaseWatches.count(e->wd) != 0 ||
                    (e->len == 0 ? (e->mask & (IN_CLOSE_WRITE | IN_MODIFY)) != 0
                                 : (name == e->name || target == e->name)))
                    changed = true;
                i += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
            }
        }
        if (changed) ArmResolvConf();  // a new file, or a link that leads elsewhere now
        return changed ? Drained::Changed : Drained::Nothing;
    }

    void CloseBus() {
        for (sd_bus_slot*& slot : m_slots) slot = sd_bus_slot_unref(slot);
        m_bus.reset();
    }

    Drained DrainBus() {
        m_busSaysChanged = false;
        int r;
        while ((r = sd_bus_process(m_bus->Handle(), nullptr)) > 0) {
        }
        const bool changed = m_busSaysChanged;
        if (r < 0) {
            CloseBus();  // the bus went away; the kernel's events still come
            return Drained::Closed;
        }
        return changed ? Drained::Changed : Drained::Nothing;
    }

    static int OnPrepareForSleep(sd_bus_message* m, void* self, sd_bus_error*) {
        int sleeping = 0;
        if (sd_bus_message_read(m, "b", &sleeping) >= 0 && !sleeping)
            static_cast<LinuxNetworkEvents*>(self)->m_busSaysChanged = true;
        return 0;
    }

    static int OnBusChange(sd_bus_message*, void* self, sd_bus_error*) {
        static_cast<LinuxNetworkEvents*>(self)->m_busSaysChanged = true;
        return 0;
    }

    std::string m_resolvConf;
    std::vector<std::string> m_leaseDirs;
    std::set<int> m_leaseWatches;
    int m_netlink = -1;
    int m_inotify = -1;
    std::unique_ptr<linux_os::SystemBus> m_bus;
    std::array<sd_bus_slot*, 3> m_slots{};
    bool m_busSaysChanged = false;
};

}  // namespace

namespace linux_os {

std::unique_ptr<INetworkEvents> OpenNetworkEvents(const NetworkPaths& paths, bool askSystemBus,
                                                  std::string* error) {
    std::vector<std::string> leaseDirs = paths.dhclientLeaseDirs;
    leaseDirs.push_back(paths.runRoot + "/systemd/netif/leases");
    leaseDirs.push_back(paths.varLibNetworkManager);
    auto events = std::make_unique<LinuxNetworkEvents>(paths.resolvConf, std::move(leaseDirs));
    std::string netlinkError, inotifyError;
    events->OpenNetlink(&netlinkError);
    events->OpenInotify(&inotifyError);
    if (askSystemBus) events->OpenSystemBus();
    if (events->Empty()) {
        if (error) *error = netlinkError + "; " + inotifyError;
        return nullptr;
    }
    return events;
}

}  // namespace linux_os

std::unique_ptr<INetworkEvents> OpenNetworkEvents(const std::string& resolvConf,
                                                  std::string* error) {
    linux_os::NetworkPaths paths;
    if (!resolvConf.empty()) paths.resolvConf = resolvConf;
    return linux_os::OpenNetworkEvents(paths, true, error);
}

}  // namespace voldrane::platform
