# The dialogs, as real widgets on Qt's offscreen platform, driven by keys and clicks.
if(TARGET voldrane_qt)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    add_executable(ui_tests
        UiTestMain.cpp
        UiTestSupport.h
        IpAddressEditTest.cpp
        OfficeDialogTest.cpp
        ConfigDialogDriver.h
        ConfigDialogTest.cpp
        NameOrderQtTest.cpp
    )
    target_link_libraries(ui_tests PRIVATE voldrane_qt Qt6::Test GTest::gtest)
    target_compile_definitions(ui_tests PRIVATE
        VOLDRANE_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots")
    gtest_discover_tests(ui_tests DISCOVERY_TIMEOUT 30
        PROPERTIES LABELS ui ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()

# The printer side of the dialogs against a private cupsd (the printers tests' fixture).
if(TARGET voldrane_qt AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/printers/PrivateCupsd.cpp)
    add_executable(ui_cups_tests
        support/CupsTestMain.cpp
        UiCupsTest.cpp
        ConfigDialogDriver.h
        printers/PrivateCupsd.h printers/PrivateCupsd.cpp
        printers/TestProcess.h printers/TestProcess.cpp
        printers/CupsTest.h
    )
    target_link_libraries(ui_cups_tests PRIVATE voldrane_qt voldrane_platform_cups Cups::Cups
        Threads::Threads Qt6::Test GTest::gtest)
    target_compile_definitions(ui_cups_tests PRIVATE VOLDRANE_TEST_QAPPLICATION)
    gtest_discover_tests(ui_cups_tests DISCOVERY_TIMEOUT 30
        PROPERTIES LABELS "ui;printers" ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endif()
