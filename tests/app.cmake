# The tray program: its logic with a recording notification area, its single-instance lock,
# and the real program against a private D-Bus session and a private X server.
add_executable(app_tests
    app/RecordingNotificationArea.h
    app/TrayIconTest.cpp
    app/InstanceLockTest.cpp
)
target_link_libraries(app_tests PRIVATE voldrane_app GTest::gtest GTest::gtest_main)
target_include_directories(app_tests PRIVATE ${PROJECT_SOURCE_DIR})
gtest_discover_tests(app_tests DISCOVERY_TIMEOUT 30
    PROPERTIES LABELS app ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
