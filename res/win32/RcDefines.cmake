# Turns the C++ constants of resource headers into #define lines for the resource compiler,
# which reads only the preprocessor's language:
#   inline constexpr int IDD_ABOUTBOX = 100;            ->  #define IDD_ABOUTBOX 100
#   inline constexpr const char* kMenuExit = "Exit";    ->  #define kMenuExit "Exit"
# Adjacent string literals become one (windres does not join them); comments are dropped.
#   cmake -DOUTPUT=defines.h "-DHEADERS=a.h;b.h" -P RcDefines.cmake

cmake_minimum_required(VERSION 3.25)

if(NOT OUTPUT OR NOT HEADERS)
    message(FATAL_ERROR "usage: cmake -DOUTPUT=<file> -DHEADERS=<h1;h2...> -P RcDefines.cmake")
endif()

set(result "// Made from the C++ resource headers by RcDefines.cmake; do not edit.\n#pragma once\n")
set(names "")
foreach(header IN LISTS HEADERS)
    file(READ "${header}" text)
    # Strip comments, keeping string literals whole: walk the text one character at a time.
    string(LENGTH "${text}" length)
    set(code "")
    set(state code)  # code, string, escape (after a backslash in a string), comment
    set(i 0)
    while(i LESS length)
        string(SUBSTRING "${text}" ${i} 1 c)
        math(EXPR i "${i} + 1")
        if(state STREQUAL "comment")
            if(c STREQUAL "\n")
                set(state code)
                string(APPEND code "\n")
            endif()
        elseif(state STREQUAL "escape")
            string(APPEND code "${c}")
            set(state string)
        elseif(state STREQUAL "string")
            string(APPEND code "${c}")
            if(c STREQUAL "\\")
                set(state escape)
            elseif(c STREQUAL "\"")
                set(state code)
            endif()
        else()
            if(c STREQUAL "\"")
                set(state string)
                string(APPEND code "${c}")
            elseif(c STREQUAL "/" AND i LESS length)
                string(SUBSTRING "${text}" ${i} 1 next)
                if(next STREQUAL "/")
                    set(state comment)
                else()
                    string(APPEND code "${c}")
                endif()
            else()
                string(APPEND code "${c}")
            endif()
        endif()
    endwhile()

    # Whitespace runs, newlines included, become one space, so statements are one line each
    # and the literals of one text stand side by side as "a" "b".
    string(REGEX REPLACE "[ \t\r\n]+" " " code "${code}")
    # A semicolon separates CMake's list items: stand-in until the value is written.
    string(REPLACE ";" "<SEMICOLON>" code "${code}")
    set(literal "\"([^\"\\\\]|\\\\.)*\"")
    set(name_part "inline constexpr [^=;\"]*[ *]([A-Za-z_][A-Za-z_0-9]*)")
    set(value_part "(${literal}( ${literal})*|[-0-9xXa-fA-FuU]+)")
    string(REGEX MATCHALL "${name_part} = ${value_part} ?<SEMICOLON>" statements "${code}")
    foreach(statement IN LISTS statements)
        string(REGEX MATCH "([A-Za-z_][A-Za-z_0-9]*) = (.*[^ ]) ?<SEMICOLON>$" _ "${statement}")
        set(name "${CMAKE_MATCH_1}")
        set(value "${CMAKE_MATCH_2}")
        # "a" "b" -> "ab"
        string(REGEX REPLACE "\" \"" "" value "${value}")
        string(REPLACE "<SEMICOLON>" ";" value "${value}")
        if(name IN_LIST names)
            message(FATAL_ERROR "${header}: ${name} is defined twice")
        endif()
        list(APPEND names "${name}")
        string(APPEND result "#define ${name} ${value}\n")
    endforeach()
endforeach()

# Rewrite only on change, so the resources are not compiled again for an unrelated edit.
set(old "")
if(EXISTS "${OUTPUT}")
    file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL result)
    file(WRITE "${OUTPUT}" "${result}")
endif()
