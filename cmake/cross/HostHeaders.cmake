# Makes `target` an interface library whose include path holds only `folder` of the build
# machine's /usr/include (linked into the build tree), never /usr/include itself.
function(voldrane_host_headers target folder probe)
    if(TARGET ${target})
        return()
    endif()
    if(NOT EXISTS /usr/include/${probe})
        message(FATAL_ERROR "/usr/include/${probe} is missing (scripts/deps.sh build installs it)")
    endif()
    set(dir ${CMAKE_BINARY_DIR}/host-headers/${folder})
    file(MAKE_DIRECTORY ${dir})
    file(CREATE_LINK /usr/include/${folder} ${dir}/${folder} SYMBOLIC)
    add_library(${target} INTERFACE IMPORTED GLOBAL)
    set_target_properties(${target} PROPERTIES INTERFACE_SYSTEM_INCLUDE_DIRECTORIES ${dir}
        INTERFACE_INCLUDE_DIRECTORIES ${dir})
endfunction()
