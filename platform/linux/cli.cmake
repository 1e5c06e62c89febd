# What the command-line tool needs of the OS besides the services: its arguments and console,
# whole files for import and export, and the wait of `watch`.
target_sources(voldrane_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/Console.cpp
    ${CMAKE_CURRENT_LIST_DIR}/Files.cpp
    ${CMAKE_CURRENT_LIST_DIR}/WatchLoop.cpp
)
