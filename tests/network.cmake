# The Linux network layer: text parsers and file sources on samples and temporary trees,
# rtnetlink on the running kernel, and whole scenarios in network namespaces with real
# dnsmasq, dhclient, NetworkManager and mock NetworkManager and resolved on private buses
# (these need root).
add_executable(network_platform_tests
    network/ParsersTest.cpp
    network/SourceFilesTest.cpp
    network/NetlinkTest.cpp
    network/NetworkEventsTest.cpp
)
target_link_libraries(network_platform_tests PRIVATE voldrane_platform GTest::gtest GTest::gtest_main)
gtest_discover_tests(network_platform_tests DISCOVERY_TIMEOUT 30 PROPERTIES LABELS network)

add_executable(network_probe network/network_probe.cpp)
target_link_libraries(network_probe PRIVATE voldrane_platform nlohmann_json::nlohmann_json)

foreach(scenario host dhcp dhcp-infinite loopback virtual networkmanager networkmanager-stuck
        networkmanager-real resolved)
    add_test(NAME network_kernel_${scenario}
        COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/network/network_kernel_test.py
            ${scenario} --voldranectl $<TARGET_FILE:voldranectl> --probe $<TARGET_FILE:network_probe>)
    set_tests_properties(network_kernel_${scenario} PROPERTIES LABELS network TIMEOUT 120)
endforeach()

# `voldranectl watch` in a namespace whose address and DNS servers move between offices.
add_test(NAME network_follow_watch
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/network/follow_test.py watch
        --voldranectl $<TARGET_FILE:voldranectl>)
set_tests_properties(network_follow_watch PROPERTIES LABELS network TIMEOUT 120)
# The tray program the same way, on a private desktop with a stand-in notification server:
# the notice of the switch, and Undo from it.
if(TARGET voldrane)
    add_test(NAME network_follow_tray
        COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/network/follow_test.py tray
            --voldranectl $<TARGET_FILE:voldranectl> --voldrane $<TARGET_FILE:voldrane>)
    set_tests_properties(network_follow_tray PROPERTIES LABELS "network;app" TIMEOUT 120)
endif()
