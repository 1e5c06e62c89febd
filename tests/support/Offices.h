#pragma once

// Offices for tests: each on the /24 network around its address, with the gateway at .254
// and the servers at .1 to .4 (DNS, DNS, WINS, DHCP).

#include <string>
#include <utility>

#include "offices/COfficeNetwork.h"

namespace voldrane::test {

inline COfficeNetwork MakeOffice(std::string key, std::string name,
                                 const std::string& ip = "10.1.0.5",
                                 std::string printer = "Laser") {
    COfficeNetwork o;
    o.m_strKeyName = std::move(key);
    o.m_strOfficeName = std::move(name);
    o.m_strDefaultPrinter = std::move(printer);
    const std::string net = ip.substr(0, ip.rfind('.') + 1);
    o.m_network = {ip, "255.255.255.0", net + "254", net + "4", net + "1", net + "2", net + "3"};
    return o;
}

}  // namespace voldrane::test
