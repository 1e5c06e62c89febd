# The tray program against a minimal Qt tray program: start-up to icon registered, memory,
# idle wake-ups, on a private desktop: cmake --build build --target tray_bench
if(NOT TARGET voldrane)
    return()
endif()
add_executable(minimal_tray ${CMAKE_CURRENT_LIST_DIR}/tray/MinimalTray.cpp)
target_link_libraries(minimal_tray PRIVATE voldrane_options Qt6::Widgets)
add_custom_target(tray_bench
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/tray/tray_bench.py
        --voldrane $<TARGET_FILE:voldrane> --ctl $<TARGET_FILE:voldranectl>
        --floor $<TARGET_FILE:minimal_tray>
    DEPENDS voldrane voldranectl minimal_tray
    USES_TERMINAL)
