// Test tool: runs the Linux network source with the given roots and prints what it found as
// JSON (adapters, DNS servers, the detected seven values, problems), for the test drivers.
#include <getopt.h>

#include <iostream>
#include <nlohmann/json.hpp>

#include "network/Detection.h"
#include "platform/linux/LinuxNetworkSource.h"

using voldrane::platform::linux_os::LinuxNetworkSource;
using voldrane::platform::linux_os::NetworkPaths;

int main(int argc, char** argv) {
    NetworkPaths paths;
    bool dhcpDirGiven = false;
    const option options[] = {{"sys-root", required_argument, nullptr, 's'},
                              {"run-root", required_argument, nullptr, 'r'},
                              {"dhcp-dir", required_argument, nullptr, 'd'},
                              {"resolv-conf", required_argument, nullptr, 'c'},
                              {"no-networkmanager", no_argument, nullptr, 'n'},
                              {"no-resolved", no_argument, nullptr, 'R'},
                              {nullptr, 0, nullptr, 0}};
    for (int c; (c = getopt_long(argc, argv, "", options, nullptr)) != -1;) {
        switch (c) {
            case 's':
                paths.sysRoot = optarg;
                break;
            case 'r':
                paths.runRoot = optarg;
                break;
            case 'd':
                if (!dhcpDirGiven) paths.dhclientLeaseDirs.clear();
                dhcpDirGiven = true;
                paths.dhclientLeaseDirs.push_back(optarg);
                break;
            case 'c':
                paths.resolvConf = optarg;
                break;
            case 'n':
                paths.askNetworkManager = false;
                break;
            case 'R':
                paths.askResolved = false;
                break;
            default:
                return 2;
        }
    }

    LinuxNetworkSource source(paths);
    nlohmann::ordered_json out;
    const auto adapters = source.QueryAdapters();
    out["adapterProblem"] = source.LastProblem();
    if (adapters) {
        out["adapters"] = nlohmann::json::array();
        for (const auto& a : *adapters)
            out["adapters"].push_back({{"description", a.description},
                                       {"dhcpEnabled", a.dhcpEnabled},
                                       {"ipAddress", a.ipAddress},
                                       {"ipMask", a.ipMask},
                                       {"gateway", a.gateway},
                                       {"dhcpServer", a.dhcpServer},
                                       {"haveWins", a.haveWins},
                                       {"winsServer", a.winsServer}});
    } else {
        out["adapters"] = nullptr;
    }
    const auto dns = source.QueryDnsServers();
    out["dnsProblem"] = source.LastProblem();
    out["dns"] = dns ? nlohmann::json(*dns) : nlohmann::json(nullptr);

    LinuxNetworkSource again(paths);
    const auto current = voldrane::DetectNetworkSettings(again);
    for (int i = 0; i < 7; ++i)
        out["detected"][voldrane::kNetworkValueNames[i]] = voldrane::NetworkField(current, i);
    std::cout << out.dump(2) << '\n';
    return 0;
}
