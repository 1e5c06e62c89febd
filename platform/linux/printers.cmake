# The print spooler over libcups, a library of its own: libcups and what it pulls in (GnuTLS,
# krb5, p11-kit, avahi...) are about 3.6 MiB resident in every process that links it. The
# command-line tool and the tests link it; the tray program does not and asks voldranectl
# (HelperSpooler, in voldrane_platform), so it never maps them.
add_library(voldrane_platform_cups STATIC
    ${CMAKE_CURRENT_LIST_DIR}/CupsSpooler.h
    ${CMAKE_CURRENT_LIST_DIR}/CupsSpooler.cpp
    ${CMAKE_CURRENT_LIST_DIR}/LpOptions.h
    ${CMAKE_CURRENT_LIST_DIR}/LpOptions.cpp
)
target_link_libraries(voldrane_platform_cups
    PUBLIC voldrane_platform
    PRIVATE Cups::Cups Threads::Threads)

target_sources(voldrane_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/HelperSpooler.h
    ${CMAKE_CURRENT_LIST_DIR}/HelperSpooler.cpp
)
# Where the helper is when the programs run from the build tree (installed, it lies next to
# them). Only a path: voldrane_platform does not depend on the tool built from it.
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/HelperSpooler.cpp
    TARGET_DIRECTORY voldrane_platform
    APPEND PROPERTY COMPILE_DEFINITIONS
    VOLDRANE_BUILD_TREE_VOLDRANECTL="$<TARGET_FILE:voldranectl>")
