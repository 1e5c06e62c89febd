# Whole programs under faults: the tray program's writer and voldranectl on one store at
# once, writers killed at random moments, broken stores and file systems, hostile values.
if(TARGET voldrane_qt)
    find_package(Qt6 REQUIRED COMPONENTS Test)
    set(FAULTS_STORE_DIR ${CMAKE_CURRENT_LIST_DIR}/faults_store)

    add_executable(store_driver ${FAULTS_STORE_DIR}/StoreDriver.cpp)
    target_link_libraries(store_driver PRIVATE voldrane_qt Qt6::Test nlohmann_json::nlohmann_json)
    target_include_directories(store_driver PRIVATE ${PROJECT_SOURCE_DIR})
    add_dependencies(store_driver voldranectl)

    # Stops a writer between its read and its write, for races decided by the test.
    add_library(pause_before_write MODULE ${FAULTS_STORE_DIR}/PauseBeforeWrite.cpp)
    add_dependencies(store_driver pause_before_write)

    foreach(scenario concurrent same-office kill-ctl kill-tray broken-stores hostile)
        add_test(NAME faults_store_${scenario}
            COMMAND /usr/bin/python3 ${FAULTS_STORE_DIR}/store_faults.py ${scenario}
                --voldranectl $<TARGET_FILE:voldranectl> --driver $<TARGET_FILE:store_driver>
                --pause-lib $<TARGET_FILE:pause_before_write>)
        set_tests_properties(faults_store_${scenario} PROPERTIES LABELS faults TIMEOUT 150)
    endforeach()
endif()
