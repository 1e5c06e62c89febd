# voldranectl auto against lpoptions -d, as whole processes, with hyperfine and a private
# cupsd: cmake --build build --target printers_bench
add_custom_target(printers_bench
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/printers/auto_vs_lpoptions.sh $<TARGET_FILE:voldranectl>
    DEPENDS voldranectl
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
