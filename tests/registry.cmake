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
