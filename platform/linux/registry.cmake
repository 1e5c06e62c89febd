target_sources(voldrane_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/RegFileStore.h
    ${CMAKE_CURRENT_LIST_DIR}/RegFileStore.cpp
)
