# What the package installs beside the programs: manual pages in step with --help, and the
# login entry that voldranectl writes.
set(dist_tray "")
if(TARGET voldrane)
    set(dist_tray $<TARGET_FILE:voldrane>)
endif()
add_test(NAME dist COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/dist_test.sh ${PROJECT_SOURCE_DIR}
    $<TARGET_FILE:voldranectl> ${dist_tray})
set_tests_properties(dist PROPERTIES LABELS dist TIMEOUT 60)
