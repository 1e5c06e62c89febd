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
# What the command-line tool links for the in-process spooler, by the same name on every OS.
add_library(voldrane_platform_spooler ALIAS voldrane_platform_cups)
