#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace voldrane::platform::linux_os {

// One IPv4 address of an interface, as the kernel lists it.
struct NetlinkAddress {
    uint32_t address = 0;  // network byte order
    uint8_t prefixLength = 0;
    uint32_t flags = 0;  // IFA_F_*
};

// One interface: its link record, its IPv4 addresses in kernel order, and its default
// gateway from the main routing table (the one with the lowest metric).
struct NetlinkInterface {
    int ifindex = 0;
    std::string name;
    unsigned flags = 0;       // IFF_*
    unsigned short type = 0;  // ARPHRD_*
    std::string kind;         // rtnetlink link kind ("veth", "bridge", ...); empty for hardware
    std::vector<NetlinkAddress> addresses;
    std::optional<uint32_t> gateway;  // network byte order
    uint32_t gatewayMetric = 0;
};

struct NetlinkSnapshot {
    std::vector<NetlinkInterface> interfaces;  // ascending ifindex
    std::vector<uint16_t> dumpsRequested;      // RTM_GET* message types, one per dump sent
};

// Reads links, IPv4 addresses and IPv4 routes with one rtnetlink dump each. Replies are
// awaited for a bounded time. nullopt (with a message in *error) when the socket or a dump
// fails.
std::optional<NetlinkSnapshot> ReadNetlinkSnapshot(std::string* error);

// "a.b.c.d" for an address in network byte order.
std::string FormatIPv4(uint32_t networkOrder);

// The dotted mask of a prefix length (24 -> "255.255.255.0").
std::string PrefixToMask(unsigned prefixLength);

}  // namespace voldrane::platform::linux_os
