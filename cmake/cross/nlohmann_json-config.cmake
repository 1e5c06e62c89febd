# nlohmann/json's headers for a cross build: only its own folder on the include path.
include(${CMAKE_CURRENT_LIST_DIR}/HostHeaders.cmake)
voldrane_host_headers(nlohmann_json::nlohmann_json nlohmann nlohmann/json.hpp)
set(nlohmann_json_VERSION 3.11.2)
set(nlohmann_json_FOUND TRUE)
