# CLI11's headers for a cross build: only its own folder on the include path.
include(${CMAKE_CURRENT_LIST_DIR}/HostHeaders.cmake)
voldrane_host_headers(CLI11::CLI11 CLI CLI/CLI.hpp)
set(CLI11_FOUND TRUE)
