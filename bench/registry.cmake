# The settings file: loading all offices, and saving one, through the real file store.
add_executable(registry_bench registry/RegistryBench.cpp)
target_link_libraries(registry_bench PRIVATE voldrane_platform benchmark::benchmark)
