#include "platform/linux/RtNetlink.h"

#include <arpa/inet.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <functional>
#include <map>

namespace voldrane::platform::linux_os {

namespace {

// A kernel that stops answering must not stall detection.
constexpr int kReceiveTimeoutSeconds = 2;

class Socket {
  public:
    explicit Socket(int fd) : m_fd(fd) {}
    ~Socket() {
        if (m_fd >= 0) close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    int fd() const { return m_fd; }

  private:
    int m_fd;
};

std::string ErrnoText(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

using MessageHandler = std::function<void(const nlmsghdr*)>;

// Sends one dump request and hands every reply message to `handle` until NLMSG_DONE.
bool Dump(int fd, uint16_t type, uint32_t seq, size_t payloadSize, const void* payload,
          const MessageHandler& handle, std::string* error) {
    struct {
        nlmsghdr header;
        char payload[64];
    } request{};
    request.header.nlmsg_len = NLMSG_LENGTH(payloadSize);
    request.header.nlmsg_type = type;
    request.header.nlmsg_flags = NLM_F_REQUEST | NLM_F_DUMP;
    request.header.nlmsg_seq = seq;
    std::memcpy(request.payload, payload, payloadSize);

    sockaddr_nl kernel{};
    kernel.nl_family = AF_NETLINK;
    if (sendto(fd, &request, request.header.nlmsg_len, 0, reinterpret_cast<sockaddr*>(&kernel),
               sizeof kernel) < 0) {
        *error = ErrnoText("rtnetlink request");
        return false;
    }

    // Large enough for any single dump datagram the kernel builds (it sizes them to one page
    // or to the receive buffer, whichever is smaller, unless told otherwise).
    alignas(nlmsghdr) static thread_local char buffer[32768];
    for (;;) {
        sockaddr_nl from{};
        iovec iov{buffer, sizeof buffer};
        msghdr msg{};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        const ssize_t n = recvmsg(fd, &msg, 0);
        if (n < 0) {
            if (errno == EINTR) continue;
            *error = errno == EAGAIN || errno == EWOULDBLOCK
                         ? std::string("rtnetlink: no answer from the kernel")
                         : ErrnoText("rtnetlink reply");
            return false;
        }
        if (msg.msg_flags & MSG_TRUNC) {
            *error = "rtnetlink reply truncated";
            return false;
        }
        if (from.nl_pid != 0) continue;  // not from the kernel

        int len = static_cast<int>(n);
        for (const nlmsghdr* h = reinterpret_cast<const nlmsghdr*>(buffer); NLMSG_OK(h, len);
             h = NLMSG_NEXT(h, len)) {
            if (h->nlmsg_seq != seq) continue;  // a late answer to an earlier request
            if (h->nlmsg_type == NLMSG_DONE) return true;
            if (h->nlmsg_type == NLMSG_ERROR) {
                const auto* e = static_cast<const nlmsgerr*>(NLMSG_DATA(h));
                if (h->nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr)) || e->error != 0) {
                    errno = h->nlmsg_len < NLMSG_LENGTH(sizeof(nlmsgerr)) ? EPROTO : -e->error;
                    *error = ErrnoText("rtnetlink dump");
                    return false;
                }
                continue;
            }
            handle(h);
        }
    }
}

template <typename T>
bool AttrValue(const rtattr* a, T* out) {
    if (RTA_PAYLOAD(a) < sizeof(T)) return false;
    std::memcpy(out, RTA_DATA(a), sizeof(T));
    return true;
}

void ParseLink(const nlmsghdr* h, std::map<int, NetlinkInterface>* out) {
    if (h->nlmsg_type != RTM_NEWLINK || h->nlmsg_len < NLMSG_LENGTH(sizeof(ifinfomsg))) return;
    const auto* info = static_cast<const ifinfomsg*>(NLMSG_DATA(h));
    NetlinkInterface itf;
    itf.ifindex = info->ifi_index;
    itf.flags = info->ifi_flags;
    itf.type = info->ifi_type;
    int len = static_cast<int>(IFLA_PAYLOAD(h));
    for (const rtattr* a = IFLA_RTA(info); RTA_OK(a, len); a = RTA_NEXT(a, len)) {
        if (a->rta_type == IFLA_IFNAME) {
            const char* s = static_cast<const char*>(RTA_DATA(a));
            itf.name.assign(s, strnlen(s, RTA_PAYLOAD(a)));
        } else if (a->rta_type == IFLA_LINKINFO) {
            int inner = static_cast<int>(RTA_PAYLOAD(a));
            for (const rtattr* b = static_cast<const rtattr*>(RTA_DATA(a)); RTA_OK(b, inner);
                 b = RTA_NEXT(b, inner)) {
                if (b->rta_type != IFLA_INFO_KIND) continue;
                const char* s = static_cast<const char*>(RTA_DATA(b));
                itf.kind.assign(s, strnlen(s, RTA_PAYLOAD(b)));
            }
        }
    }
    (*out)[itf.ifindex] = std::move(itf);
}

void ParseAddress(const nlmsghdr* h, std::map<int, NetlinkInterface>* out) {
    if (h->nlmsg_type != RTM_NEWADDR || h->nlmsg_len < NLMSG_LENGTH(sizeof(ifaddrmsg))) return;
    const auto* info = static_cast<const ifaddrmsg*>(NLMSG_DATA(h));
    if (info->ifa_family != AF_INET) return;
    auto it = out->find(static_cast<int>(info->ifa_index));
    if (it == out->end()) return;

    NetlinkAddress addr;
    addr.prefixLength = info->ifa_prefixlen;
    addr.flags = info->ifa_flags;
    bool haveLocal = false, haveAddress = false;
    uint32_t local = 0, address = 0;
    int len = static_cast<int>(IFA_PAYLOAD(h));
    for (const rtattr* a = IFA_RTA(info); RTA_OK(a, len); a = RTA_NEXT(a, len)) {
        switch (a->rta_type) {
            case IFA_LOCAL:
                haveLocal = AttrValue(a, &local);
                break;
            case IFA_ADDRESS:
                haveAddress = AttrValue(a, &address);
                break;
            case IFA_FLAGS:
                AttrValue(a, &addr.flags);
                break;  // the full 32-bit flags
            default:
                break;
        }
    }
    // On point-to-point links IFA_ADDRESS is the peer; IFA_LOCAL is always our own.
    if (!haveLocal && !haveAddress) return;
    addr.address = haveLocal ? local : address;
    it->second.addresses.push_back(addr);
}

struct Gateway {
    uint32_t address;
    uint32_t metric;
};

void OfferGateway(std::map<int, Gateway>* best, int oif, uint32_t gw, uint32_t metric) {
    auto [it, inserted] = best->try_emplace(oif, Gateway{gw, metric});
    if (!inserted && metric < it->second.metric) it->second = Gateway{gw, metric};
}

void ParseRoute(const nlmsghdr* h, std::map<int, Gateway>* best) {
    if (h->nlmsg_type != RTM_NEWROUTE || h->nlmsg_len < NLMSG_LENGTH(sizeof(rtmsg))) return;
    const auto* rt = static_cast<const rtmsg*>(NLMSG_DATA(h));
    if (rt->rtm_family != AF_INET || rt->rtm_dst_len != 0 || rt->rtm_type != RTN_UNICAST) return;

    uint32_t table = rt->rtm_table, metric = 0, gateway = 0, oif = 0;
    bool haveGateway = false, haveOif = false;
    const rtattr* multipath = nullptr;
    int len = static_cast<int>(RTM_PAYLOAD(h));
    for (const rtattr* a = RTM_RTA(rt); RTA_OK(a, len); a = RTA_NEXT(a, len)) {
        switch (a->rta_type) {
            case RTA_TABLE:
                AttrValue(a, &table);
                break;
            case RTA_PRIORITY:
                AttrValue(a, &metric);
                break;
            case RTA_GATEWAY:
                haveGateway = AttrValue(a, &gateway);
                break;
            case RTA_OIF:
                haveOif = AttrValue(a, &oif);
                break;
            case RTA_MULTIPATH:
                multipath = a;
                break;
            default:
                break;
        }
    }
    if (table != RT_TABLE_MAIN) return;
    if (haveGateway && haveOif) OfferGateway(best, static_cast<int>(oif), gateway, metric);
    if (!multipath) return;

    // A multipath default route: every next hop is a gateway through its own interface.
    int left = static_cast<int>(RTA_PAYLOAD(multipath));
    const auto* nh = static_cast<const rtnexthop*>(RTA_DATA(multipath));
    while (left >= static_cast<int>(sizeof(rtnexthop)) && nh->rtnh_len >= sizeof(rtnexthop) &&
           nh->rtnh_len <= left) {
        int alen = nh->rtnh_len - static_cast<int>(RTNH_LENGTH(0));
        for (const rtattr* a = RTNH_DATA(nh); RTA_OK(a, alen); a = RTA_NEXT(a, alen)) {
            uint32_t gw = 0;
            if (a->rta_type == RTA_GATEWAY && AttrValue(a, &gw))
                OfferGateway(best, nh->rtnh_ifindex, gw, metric);
        }
        left -= RTNH_ALIGN(nh->rtnh_len);
        nh = RTNH_NEXT(nh);
    }
}

}  // namespace

std::optional<NetlinkSnapshot> ReadNetlinkSnapshot(std::string* error) {
    std::string ignored;
    if (!error) error = &ignored;

    Socket sock(socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (sock.fd() < 0) {
        *error = ErrnoText("rtnetlink socket");
        return std::nullopt;
    }
    timeval tv{kReceiveTimeoutSeconds, 0};
    setsockopt(sock.fd(), SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    // Strict checking makes the kernel filter dumps by family where it can; older kernels
    // ignore the option, and the parsers filter anyway.
    int one = 1;
    setsockopt(sock.fd(), SOL_NETLINK, NETLINK_GET_STRICT_CHK, &one, sizeof one);
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    if (bind(sock.fd(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
        *error = ErrnoText("rtnetlink bind");
        return std::nullopt;
    }

    NetlinkSnapshot snapshot;
    std::map<int, NetlinkInterface> interfaces;
    std::map<int, Gateway> gateways;
    uint32_t seq = static_cast<uint32_t>(time(nullptr));

    ifinfomsg link{};
    link.ifi_family = AF_UNSPEC;
    snapshot.dumpsRequested.push_back(RTM_GETLINK);
    if (!Dump(
            sock.fd(), RTM_GETLINK, ++seq, sizeof link, &link,
            [&](const nlmsghdr* h) { ParseLink(h, &interfaces); }, error))
        return std::nullopt;

    ifaddrmsg addr{};
    addr.ifa_family = AF_INET;
    snapshot.dumpsRequested.push_back(RTM_GETADDR);
    if (!Dump(
            sock.fd(), RTM_GETADDR, ++seq, sizeof addr, &addr,
            [&](const nlmsghdr* h) { ParseAddress(h, &interfaces); }, error))
        return std::nullopt;

    rtmsg route{};
    route.rtm_family = AF_INET;
    snapshot.dumpsRequested.push_back(RTM_GETROUTE);
    if (!Dump(
            sock.fd(), RTM_GETROUTE, ++seq, sizeof route, &route,
            [&](const nlmsghdr* h) { ParseRoute(h, &gateways); }, error))
        return std::nullopt;

    for (auto& [index, itf] : interfaces) {
        auto gw = gateways.find(index);
        if (gw != gateways.end()) {
            itf.gateway = gw->second.address;
            itf.gatewayMetric = gw->second.metric;
        }
        snapshot.interfaces.push_back(std::move(itf));
    }
    return snapshot;
}

std::string FormatIPv4(uint32_t networkOrder) {
    char text[INET_ADDRSTRLEN] = "";
    in_addr a{};
    a.s_addr = networkOrder;
    inet_ntop(AF_INET, &a, text, sizeof text);
    return text;
}

std::string PrefixToMask(unsigned prefixLength) {
    const unsigned bits = std::min(prefixLength, 32u);
    const uint32_t mask = bits == 0 ? 0 : ~uint32_t{0} << (32 - bits);
    return FormatIPv4(htonl(mask));
}

}  // namespace voldrane::platform::linux_os
