target_sources(voldrane_platform PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/../InstanceLock.h
    ${CMAKE_CURRENT_LIST_DIR}/LinuxInstanceLock.h
    ${CMAKE_CURRENT_LIST_DIR}/LinuxInstanceLock.cpp
)
