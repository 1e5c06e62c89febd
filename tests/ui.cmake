# The dialogs, as real widgets on Qt's offscreen platform, driven by keys and clicks.
if(TARGET voldrane_ui)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    add_executable(ui_tests
        UiTestMain.cpp
        UiTestSupport.h
        IpAddressEditTest.cpp
        OfficeDialogTest.cpp
        ConfigDialogTest.cpp
    )
    target_link_libraries(ui_tests PRIVATE voldrane_ui voldrane_platform Qt6::Test GTest::gtest)
    target_compile_definitions(ui_tests PRIVATE
        VOLDRANE_SCREENSHOT_DIR="${CMAKE_BINARY_DIR}/screenshots")
    gtest_discover_tests(ui_tests DISCOVERY_TIMEOUT 30
        PROPERTIES LABELS ui ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
endif()
