target_sources(voldrane_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/LinuxNetworkSource.h
    ${CMAKE_CURRENT_LIST_DIR}/LinuxNetworkSource.cpp
)
target_link_libraries(voldrane_platform PRIVATE PkgConfig::SYSTEMD)
