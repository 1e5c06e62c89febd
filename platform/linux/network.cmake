# Network settings: rtnetlink, udev/sysfs, DHCP leases (NetworkManager, systemd-networkd,
# dhclient) and the resolver's configuration.
target_sources(voldrane_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/NetworkPaths.h
    ${CMAKE_CURRENT_LIST_DIR}/LinuxNetworkSource.h
    ${CMAKE_CURRENT_LIST_DIR}/LinuxNetworkSource.cpp
    ${CMAKE_CURRENT_LIST_DIR}/RtNetlink.h
    ${CMAKE_CURRENT_LIST_DIR}/RtNetlink.cpp
    ${CMAKE_CURRENT_LIST_DIR}/AdapterDescription.h
    ${CMAKE_CURRENT_LIST_DIR}/AdapterDescription.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DhcpLeaseParsers.h
    ${CMAKE_CURRENT_LIST_DIR}/DhcpLeaseParsers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/DhcpLeaseFiles.h
    ${CMAKE_CURRENT_LIST_DIR}/DhcpLeaseFiles.cpp
    ${CMAKE_CURRENT_LIST_DIR}/NetworkManagerDhcp.h
    ${CMAKE_CURRENT_LIST_DIR}/NetworkManagerDhcp.cpp
    ${CMAKE_CURRENT_LIST_DIR}/SystemBus.h
    ${CMAKE_CURRENT_LIST_DIR}/SystemBus.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ResolvConf.h
    ${CMAKE_CURRENT_LIST_DIR}/ResolvConf.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ResolvedDns.h
    ${CMAKE_CURRENT_LIST_DIR}/ResolvedDns.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Ipv4Text.h
    ${CMAKE_CURRENT_LIST_DIR}/Ipv4Text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/TextFile.h
    ${CMAKE_CURRENT_LIST_DIR}/TextFile.cpp
    ${CMAKE_CURRENT_LIST_DIR}/FilePath.h
    ${CMAKE_CURRENT_LIST_DIR}/FilePath.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../NetworkEvents.h
    ${CMAKE_CURRENT_LIST_DIR}/NetworkEvents.h
    ${CMAKE_CURRENT_LIST_DIR}/NetworkEvents.cpp
)
target_link_libraries(voldrane_platform PRIVATE PkgConfig::SYSTEMD)
