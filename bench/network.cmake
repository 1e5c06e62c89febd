# Network detection on this machine and office matching over growing lists.
add_executable(network_bench network/NetworkBench.cpp)
target_link_libraries(network_bench PRIVATE voldrane_platform benchmark::benchmark)
