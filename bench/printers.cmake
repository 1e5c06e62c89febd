# The tray program's apply path (HelperSpooler running voldranectl) as a program of its own.
add_executable(helper_apply
    ${CMAKE_CURRENT_LIST_DIR}/printers/HelperApply.cpp
    ${PROJECT_SOURCE_DIR}/platform/linux/HelperSpooler.cpp
    ${PROJECT_SOURCE_DIR}/platform/linux/ProgramFiles.cpp)
target_include_directories(helper_apply PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_definitions(helper_apply PRIVATE
    VOLDRANE_BUILD_TREE="${PROJECT_BINARY_DIR}"
    VOLDRANE_BUILD_TREE_VOLDRANECTL="$<TARGET_FILE:voldranectl>"
    VOLDRANE_INSTALL_BINDIR="${CMAKE_INSTALL_FULL_BINDIR}")
# Linked statically: its own start is not part of the tray program's path, so it should cost
# as little as a program's start can.
target_link_options(helper_apply PRIVATE -static)

# voldranectl auto (64 offices and 1) and the tray program's apply path against
# lpoptions -d, as whole processes, with hyperfine and a private cupsd:
# cmake --build build --target printers_bench
add_custom_target(printers_bench
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/printers/auto_vs_lpoptions.sh $<TARGET_FILE:voldranectl>
        $<TARGET_FILE:helper_apply>
    DEPENDS voldranectl helper_apply
    USES_TERMINAL)

# The tray program's spooler calls through the voldranectl helper against the same calls in
# process, and each helper call against the CUPS tool doing the same work:
# cmake --build build --target spooler_bench_run
add_executable(spooler_bench ${CMAKE_CURRENT_LIST_DIR}/printers/SpoolerBench.cpp)
target_link_libraries(spooler_bench PRIVATE voldrane_platform_cups benchmark::benchmark)
target_compile_definitions(spooler_bench PRIVATE VOLDRANECTL="$<TARGET_FILE:voldranectl>")
add_dependencies(spooler_bench voldranectl)
add_custom_target(spooler_bench_run
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/printers/helper_spooler.sh $<TARGET_FILE:voldranectl>
        $<TARGET_FILE:spooler_bench>
    DEPENDS voldranectl spooler_bench
    USES_TERMINAL)
