# Printers: logic over an in-memory spooler, and the CUPS spooler and voldranectl's printer
# commands against a private cupsd that each test process starts in a temp folder.
add_executable(printers_logic_tests
    ${CMAKE_CURRENT_LIST_DIR}/printers/PrinterLogicTest.cpp
)
target_link_libraries(printers_logic_tests PRIVATE voldrane_core GTest::gtest GTest::gtest_main)
gtest_discover_tests(printers_logic_tests DISCOVERY_TIMEOUT 30 PROPERTIES LABELS printers)

add_executable(printers_cups_tests
    ${CMAKE_CURRENT_LIST_DIR}/printers/TestProcess.h
    ${CMAKE_CURRENT_LIST_DIR}/printers/TestProcess.cpp
    ${CMAKE_CURRENT_LIST_DIR}/printers/PrivateCupsd.h
    ${CMAKE_CURRENT_LIST_DIR}/printers/PrivateCupsd.cpp
    ${CMAKE_CURRENT_LIST_DIR}/printers/CupsTest.h
    ${CMAKE_CURRENT_LIST_DIR}/support/CupsTestMain.cpp
    ${CMAKE_CURRENT_LIST_DIR}/printers/CupsSpoolerTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/printers/HelperSpoolerTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/printers/PrinterCommandsTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/printers/LpOptionsTest.cpp
)
target_link_libraries(printers_cups_tests PRIVATE voldrane_platform_cups Cups::Cups
    Threads::Threads nlohmann_json::nlohmann_json
    GTest::gtest)
# Preloaded into voldranectl to hold it while it writes the user's printer options.
add_library(stall_options_write MODULE ${CMAKE_CURRENT_LIST_DIR}/printers/StallOptionsWrite.cpp)
target_link_libraries(stall_options_write PRIVATE ${CMAKE_DL_LIBS})
target_compile_definitions(printers_cups_tests PRIVATE
    VOLDRANECTL="$<TARGET_FILE:voldranectl>"
    STALL_OPTIONS_WRITE="$<TARGET_FILE:stall_options_write>")
add_dependencies(printers_cups_tests voldranectl stall_options_write)
gtest_discover_tests(printers_cups_tests DISCOVERY_TIMEOUT 30 PROPERTIES LABELS printers
    TIMEOUT 120)
