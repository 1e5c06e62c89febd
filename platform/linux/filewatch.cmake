# Watching the settings file for changes other programs make, over Qt's file system watcher,
# and the network's events over Qt's socket notifiers.
target_sources(voldrane_platform_gui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/../FileWatch.h
    ${CMAKE_CURRENT_LIST_DIR}/QtFileWatch.cpp
    ${CMAKE_CURRENT_LIST_DIR}/../NetworkWatch.h
    ${CMAKE_CURRENT_LIST_DIR}/QtNetworkWatch.cpp
)
