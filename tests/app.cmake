# What the tray program does, without a toolkit, a print server or a display: the main frame,
# the tray icon and the dialogs' presenters over fakes, in milliseconds. Links voldrane_app only.
add_executable(presenter_tests
    support/ScriptedPrompt.h
    support/RecordingHost.h
    app/RecordingNotificationArea.h
    app/FrameFixture.h
    app/TrayIconTest.cpp
    app/MainFrameTest.cpp
    app/ConfigPresenterTest.cpp
    app/OfficePresenterTest.cpp
)
target_link_libraries(presenter_tests PRIVATE voldrane_app GTest::gtest GTest::gtest_main)
target_include_directories(presenter_tests PRIVATE ${PROJECT_SOURCE_DIR})
gtest_discover_tests(presenter_tests DISCOVERY_TIMEOUT 30 PROPERTIES LABELS presenters)

# The application layer's build has no toolkit in it, and the configure-time check says so.
if(CMAKE_HOST_UNIX)
    add_test(NAME app_no_toolkit
        COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/app/no_toolkit_test.py
            ${PROJECT_SOURCE_DIR} ${PROJECT_BINARY_DIR})
    set_tests_properties(app_no_toolkit PROPERTIES LABELS "app;presenters" TIMEOUT 60)
endif()

if(NOT TARGET voldrane_qt)
    return()
endif()

# The tray program drawn by Qt: its single-instance lock and where it finds its manual.
add_executable(app_tests
    app/InstanceLockTest.cpp
    app/ProgramFilesTest.cpp
)
target_link_libraries(app_tests PRIVATE voldrane_qt GTest::gtest GTest::gtest_main)
target_compile_definitions(app_tests PRIVATE
    VOLDRANECTL="$<TARGET_FILE:voldranectl>"
    VOLDRANE_TEST_BUILD_TREE="${PROJECT_BINARY_DIR}"
    VOLDRANE_TEST_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_dependencies(app_tests voldranectl)
target_include_directories(app_tests PRIVATE ${PROJECT_SOURCE_DIR})
gtest_discover_tests(app_tests DISCOVERY_TIMEOUT 30
    PROPERTIES LABELS app ENVIRONMENT "QT_QPA_PLATFORM=offscreen")

# The main frame with the real watch on the settings file and the real dialogs (offscreen),
# against a private cupsd.
if(EXISTS ${CMAKE_CURRENT_LIST_DIR}/printers/PrivateCupsd.cpp)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    add_executable(app_frame_tests
        support/CupsTestMain.cpp
        UiTestSupport.h
        ConfigDialogDriver.h
        app/FrameFixture.h
        app/MainFrameCupsTest.cpp
        printers/PrivateCupsd.h printers/PrivateCupsd.cpp
        printers/TestProcess.h printers/TestProcess.cpp
        printers/CupsTest.h
    )
    target_link_libraries(app_frame_tests PRIVATE voldrane_qt voldrane_platform_cups Cups::Cups
        Threads::Threads Qt6::Test GTest::gtest)
    target_compile_definitions(app_frame_tests PRIVATE VOLDRANE_TEST_QAPPLICATION)
    gtest_discover_tests(app_frame_tests DISCOVERY_TIMEOUT 30
        PROPERTIES LABELS "app;printers" ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 120)
endif()
