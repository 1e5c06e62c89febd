target_sources(voldrane_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/../Autostart.h
    ${CMAKE_CURRENT_LIST_DIR}/Autostart.cpp
)
