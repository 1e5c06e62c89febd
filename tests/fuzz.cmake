# The fuzz targets' corpora (seeds, and every input that once failed) replayed through the
# same target functions, without libFuzzer: bench/fuzz searches, these keep what it found.
foreach(target reg lease resolv)
    add_executable(${target}_corpus_replay
        ${CMAKE_CURRENT_LIST_DIR}/fuzz/${target}_fuzz.cpp
        ${CMAKE_CURRENT_LIST_DIR}/fuzz/ReplayMain.cpp)
    target_link_libraries(${target}_corpus_replay PRIVATE voldrane_platform)
    add_test(NAME fuzz_corpus_${target}
        COMMAND ${target}_corpus_replay ${CMAKE_CURRENT_LIST_DIR}/fuzz/corpus/${target})
    set_tests_properties(fuzz_corpus_${target} PROPERTIES LABELS fuzz TIMEOUT 120)
endforeach()
