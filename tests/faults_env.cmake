# Faults of the environment: the print server absent, hung, or going away and coming back
# between calls; the network in odd states (network and mount namespaces, root). Run them
# with `ctest -L faults`; the older tests of the same faults carry the label too.

# The print server: the spooler, voldranectl's printer commands and the main frame against
# a private cupsd that the tests kill, stop and restart.
if(TARGET voldrane_qt AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/printers/PrivateCupsd.cpp)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    add_executable(faults_env_printer_tests
        support/CupsTestMain.cpp
        faults_env/PrintServerFaultTest.cpp
        faults_env/MainFrameFaultTest.cpp
        printers/PrivateCupsd.h printers/PrivateCupsd.cpp
        printers/TestProcess.h printers/TestProcess.cpp
    )
    target_link_libraries(faults_env_printer_tests PRIVATE voldrane_qt voldrane_platform_cups
        Cups::Cups Threads::Threads Qt6::Test GTest::gtest)
    target_compile_definitions(faults_env_printer_tests PRIVATE VOLDRANE_TEST_QAPPLICATION
        VOLDRANECTL="$<TARGET_FILE:voldranectl>")
    add_dependencies(faults_env_printer_tests voldranectl)
    gtest_discover_tests(faults_env_printer_tests DISCOVERY_TIMEOUT 30
        PROPERTIES LABELS faults ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endif()

# The network: voldranectl in namespaces with no adapter, only virtual ones, and a network
# card whose resolv.conf and lease files are missing, odd or garbage.
foreach(scenario bare virtual dns lease crowded)
    add_test(NAME faults_network_${scenario}
        COMMAND /usr/bin/python3 ${CMAKE_CURRENT_SOURCE_DIR}/faults_env/network_faults_test.py
            ${scenario} --voldranectl $<TARGET_FILE:voldranectl>)
    set_tests_properties(faults_network_${scenario} PROPERTIES LABELS "faults;network"
        TIMEOUT 180)
endforeach()

# Older tests of the same faults, labelled rather than repeated: a loopback-only namespace,
# only virtual adapters, a NetworkManager or bus that never answers; the printer tests'
# absent and silent servers (found at test time, hence the include file).
foreach(test network_kernel_loopback network_kernel_virtual network_kernel_networkmanager-stuck)
    if(TEST ${test})
        set_property(TEST ${test} APPEND PROPERTY LABELS faults)
    endif()
endforeach()
set(faults_env_labels ${CMAKE_CURRENT_BINARY_DIR}/faults_env_labels.cmake)
# (ctest's set_tests_properties, unlike set_property, takes tests defined by included files.)
file(WRITE ${faults_env_labels} [=[
set_tests_properties(CupsFaultTest.NoServerFailsAtOnce CupsFaultTest.SilentServerCostsTheBound
    CupsTest.PrintersWithoutPrintersOrServer ApplyTest.AutoAgainstASilentServerEndsNearTheBound
    PROPERTIES LABELS "printers;faults")
]=])
set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${faults_env_labels})
