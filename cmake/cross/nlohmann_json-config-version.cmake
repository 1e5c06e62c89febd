# The version of the nlohmann-json3-dev package this build finds (Debian 12: 3.11.2).
set(PACKAGE_VERSION 3.11.2)
if(PACKAGE_FIND_VERSION_MAJOR EQUAL 3)
    set(PACKAGE_VERSION_COMPATIBLE TRUE)
endif()
