# Cross-builds the Windows programs from Debian with MinGW-w64 (x86_64, POSIX threads):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
# scripts/build-windows.sh does this. The runtime (libgcc, libstdc++, winpthread) is linked
# in statically, so the .exe files need only the DLLs every Windows has.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# -static alone takes in libwinpthread too (-static-libgcc -static-libstdc++ leave it a DLL).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

# CTest and gtest_discover_tests run the test programs through Wine.
set(CMAKE_CROSSCOMPILING_EMULATOR wine)

# The header-only libraries come from the build machine's packages. Their own CMake files
# would put /usr/include (the build machine's C library) on the include path: the packages
# are found instead through small config files that name only their own headers.
set(nlohmann_json_DIR ${CMAKE_CURRENT_LIST_DIR}/cross CACHE PATH "" FORCE)
set(CLI11_DIR ${CMAKE_CURRENT_LIST_DIR}/cross CACHE PATH "" FORCE)
