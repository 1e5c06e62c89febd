# The tray program: its logic with a recording notification area, its single-instance lock,
# and the real program against a private D-Bus session and a private X server.
add_executable(app_tests
    app/RecordingNotificationArea.h
    app/TrayIconTest.cpp
    app/InstanceLockTest.cpp
    app/ProgramFilesTest.cpp
)
target_link_libraries(app_tests PRIVATE voldrane_app GTest::gtest GTest::gtest_main)
target_compile_definitions(app_tests PRIVATE
    VOLDRANECTL="$<TARGET_FILE:voldranectl>"
    VOLDRANE_TEST_BUILD_TREE="${PROJECT_BINARY_DIR}"
    VOLDRANE_TEST_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_dependencies(app_tests voldranectl)
target_include_directories(app_tests PRIVATE ${PROJECT_SOURCE_DIR})
gtest_discover_tests(app_tests DISCOVERY_TIMEOUT 30
    PROPERTIES LABELS app ENVIRONMENT "QT_QPA_PLATFORM=offscreen")

# The main frame against a private cupsd, with offscreen widgets for the real dialogs.
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/printers/PrivateCupsd.cpp)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    add_executable(app_frame_tests
        support/CupsTestMain.cpp
        UiTestSupport.h
        ConfigDialogDriver.h
        app/MainFrameTest.cpp
        printers/PrivateCupsd.h printers/PrivateCupsd.cpp
        printers/TestProcess.h printers/TestProcess.cpp
        printers/CupsTest.h
    )
    target_link_libraries(app_frame_tests PRIVATE voldrane_app voldrane_platform_cups Cups::Cups
        Threads::Threads Qt6::Test GTest::gtest)
    target_compile_definitions(app_frame_tests PRIVATE VOLDRANE_TEST_QAPPLICATION)
    gtest_discover_tests(app_frame_tests DISCOVERY_TIMEOUT 30
        PROPERTIES LABELS "app;printers" ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endif()
