# SPDX-License-Identifier: BSD-3-Clause
# qx_add_test(<name> LABEL unit|gui SOURCES ... [LIBS ...] [ENV VAR=value ...])
# One Qt Test executable per subject, registered with CTest, run headless.
function(qx_add_test name)
    cmake_parse_arguments(T "" "LABEL" "SOURCES;LIBS;ENV" ${ARGN})
    if(NOT T_LABEL)
        set(T_LABEL unit)
    endif()
    add_executable(${name} ${T_SOURCES})
    set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
    target_link_libraries(${name} PRIVATE qxtestsupport Qt6::Test ${T_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES LABELS ${T_LABEL} TIMEOUT 300
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QX_APPDIR_TEMPLATE=${QX_APPDIR};ASAN_OPTIONS=detect_leaks=0;${T_ENV}")
endfunction()

# qx_add_fuzzer(<name> SOURCES ... [LIBS ...] SEEDS <dir>)
# With QX_FUZZ the target is a libFuzzer binary; otherwise the same entry point runs over every
# seed file as an ordinary unit test, so the seeds keep working as regression inputs.
function(qx_add_fuzzer name)
    cmake_parse_arguments(F "" "SEEDS" "SOURCES;LIBS" ${ARGN})
    if(QX_FUZZ)
        add_executable(${name} ${F_SOURCES})
        target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
        target_link_options(${name} PRIVATE -fsanitize=fuzzer)
        target_link_libraries(${name} PRIVATE ${F_LIBS})
        set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/fuzzers)
        set_property(GLOBAL APPEND PROPERTY QX_FUZZERS "${name}|${F_SEEDS}")
    else()
        add_executable(${name}_seeds ${F_SOURCES} ${CMAKE_SOURCE_DIR}/fuzz/SeedRunner.cpp)
        target_link_libraries(${name}_seeds PRIVATE ${F_LIBS})
        set_target_properties(${name}_seeds PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
        add_test(NAME ${name}_seeds COMMAND ${name}_seeds ${F_SEEDS})
        set_tests_properties(${name}_seeds PROPERTIES LABELS unit TIMEOUT 300
            ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ASAN_OPTIONS=detect_leaks=0")
    endif()
endfunction()

# qx_include_root(<target> <folder>...)
# Gives <target> an include root holding links to the named folders of src/ only, so the target and
# whatever links it reach those folders' headers ("folder/Header.h") and no others.
function(qx_include_root target)
    set(root ${CMAKE_BINARY_DIR}/include/${target})
    file(MAKE_DIRECTORY ${root})
    foreach(folder ${ARGN})
        if(NOT EXISTS ${root}/${folder})
            file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${root}/${folder} SYMBOLIC)
        endif()
    endforeach()
    target_include_directories(${target} PUBLIC ${root})
endfunction()
