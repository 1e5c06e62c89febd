# The settings store: format and rules as logic tests, then the file on real file systems.
target_sources(core_tests PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/RegFileTest.cpp
    ${CMAKE_CURRENT_LIST_DIR}/OfficeStoreTest.cpp
)

add_executable(registry_store_tests ${CMAKE_CURRENT_LIST_DIR}/RegFileStoreTest.cpp)
target_link_libraries(registry_store_tests PRIVATE voldrane_platform GTest::gtest GTest::gtest_main)
gtest_discover_tests(registry_store_tests DISCOVERY_TIMEOUT 30 PROPERTIES LABELS registry TIMEOUT 120)

# voldranectl's office commands, end to end on a store in a temp folder.
add_test(NAME cli_offices COMMAND bash ${CMAKE_CURRENT_LIST_DIR}/cli_offices_test.sh $<TARGET_FILE:voldranectl>)
set_tests_properties(cli_offices PROPERTIES LABELS registry TIMEOUT 120)

# Round trips with the registry editor of Wine: our export imported by regedit, regedit's
# exports used as our store and imported, key names folded as the registry folds them.
add_test(NAME regedit_roundtrip
    COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/registry/regedit_roundtrip_test.py
        $<TARGET_FILE:voldranectl>)
set_tests_properties(regedit_roundtrip PROPERTIES LABELS "registry;wine" TIMEOUT 600)
