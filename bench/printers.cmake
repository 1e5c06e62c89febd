# voldranectl auto against lpoptions -d, as whole processes, with hyperfine and a private
# cupsd: cmake --build build --target printers_bench
add_custom_target(printers_bench
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/printers/auto_vs_lpoptions.sh $<TARGET_FILE:voldranectl>
    DEPENDS voldranectl
    USES_TERMINAL)
