# The built tray program end to end on a private desktop that each case starts for itself
# (session bus, Xvfb on a free display, trayer or a stand-in StatusNotifier host, cupsd): the
# real tray protocols, the single-instance lock, the office applied at start and from the menu.
if(NOT TARGET voldrane)
    return()
endif()
set(tray_e2e_cases
    OverStatusNotifier.test_start_applies_first_match_then_menu_choice_and_exit
    OverStatusNotifier.test_no_matching_office_shows_so_and_asks
    OverStatusNotifier.test_activation_opens_one_configuration_window
    OverStatusNotifier.test_tray_host_restart_gets_the_icon_back
    OverStatusNotifier.test_second_start_exits_at_once_and_adds_no_icon
    WithoutTray.test_no_tray_exits_1_with_a_message
    WithoutTray.test_tray_host_arriving_during_the_wait_gets_the_icon
    OverXEmbed.test_right_click_opens_the_menu
    OnRealPanel.test_menu_choice_and_exit_from_the_panel
)
foreach(case IN LISTS tray_e2e_cases)
    add_test(NAME tray_e2e.${case}
        COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/tray/tray_e2e.py ${case})
    set_tests_properties(tray_e2e.${case} PROPERTIES
        LABELS app
        TIMEOUT 120
        ENVIRONMENT "VOLDRANE=$<TARGET_FILE:voldrane>;VOLDRANECTL=$<TARGET_FILE:voldranectl>;TRAY_ARTIFACTS=${CMAKE_BINARY_DIR}/tests/artifacts")
endforeach()
# The pictures of the open menu and its submenu, kept in the build folder.
set_tests_properties(tray_e2e.OverXEmbed.test_right_click_opens_the_menu PROPERTIES
    ATTACHED_FILES "${CMAKE_BINARY_DIR}/tests/artifacts/tray-menu.png;${CMAKE_BINARY_DIR}/tests/artifacts/tray-menu-use-network.png")
