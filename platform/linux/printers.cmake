target_sources(voldrane_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/CupsSpooler.h
    ${CMAKE_CURRENT_LIST_DIR}/CupsSpooler.cpp
)
target_link_libraries(voldrane_platform PRIVATE Cups::Cups Threads::Threads)
