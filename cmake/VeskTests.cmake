# Test helpers. Every test program is a GoogleTest program that writes its results as XML
# into VESK_TEST_RESULTS, where the front door's summary counts them.

set(VESK_TEST_RESULTS "${CMAKE_BINARY_DIR}/test-results" CACHE PATH "Folder for the tests' XML results")

if(WIN32)
    if(VESK_GTEST_SOURCE)
        set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
        set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
        add_subdirectory(${VESK_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
        set(VESK_HAVE_GTEST TRUE)
    else()
        find_package(GTest QUIET)
        set(VESK_HAVE_GTEST ${GTest_FOUND})
        if(GTest_FOUND)
            add_library(gtest_main ALIAS GTest::gtest_main)
            add_library(gmock ALIAS GTest::gmock)
        endif()
    endif()
else()
    find_package(GTest REQUIRED)
    set(VESK_HAVE_GTEST TRUE)
endif()

# The XML result path as the test program sees it: under Wine, through drive Z:.
function(_vesk_result_arg name out)
    if(CMAKE_CROSSCOMPILING AND WIN32)
        set(${out} "--gtest_output=xml:Z:${VESK_TEST_RESULTS}/${name}.xml" PARENT_SCOPE)
    else()
        set(${out} "--gtest_output=xml:${VESK_TEST_RESULTS}/${name}.xml" PARENT_SCOPE)
    endif()
endfunction()

# vesk_native_test(name SOURCES ... LIBS ...): a unit test of the portable core.
function(vesk_native_test name)
    if(WIN32)
        return()
    endif()
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest_main GTest::gmock)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    _vesk_result_arg(${name} result)
    add_test(NAME ${name} COMMAND ${name} ${result} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    set_tests_properties(${name} PROPERTIES LABELS native)
endfunction()

# vesk_fuzz_target(name SOURCES ... LIBS ...): a libFuzzer program of a fuzzing build
# (VESK_FUZZ), run by its test step for a fixed time.
function(vesk_fuzz_target name)
    if(NOT VESK_FUZZ OR WIN32)
        return()
    endif()
    cmake_parse_arguments(T "" "" "SOURCES;LIBS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
endfunction()

# vesk_windows_test(name SOURCES ... LIBS ... [ARGS ...] [RESOURCES] [E2E]): a Windows
# program run under Wine, with ARGS on its command line. RESOURCES links the launcher's
# resource script in; E2E marks an end-to-end test, which drives the real Vesk.exe and runs
# only in the prepared test prefix.
function(vesk_windows_test name)
    if(NOT WIN32 OR NOT VESK_HAVE_GTEST)
        return()
    endif()
    cmake_parse_arguments(T "RESOURCES;E2E" "" "SOURCES;LIBS;ARGS" ${ARGN})
    add_executable(${name} ${T_SOURCES})
    if(T_RESOURCES)
        target_sources(${name} PRIVATE ${VESK_RESOURCES})
        # The pictures the script includes are not seen by the compiler's dependency scan.
        get_filename_component(_resources_dir ${VESK_RESOURCES} DIRECTORY)
        file(GLOB _pictures ${_resources_dir}/*.bmp ${_resources_dir}/*.ico ${_resources_dir}/*.h)
        set_property(SOURCE ${VESK_RESOURCES} TARGET_DIRECTORY ${name} APPEND PROPERTY OBJECT_DEPENDS ${_pictures})
    endif()
    target_link_libraries(${name} PRIVATE ${T_LIBS} gtest_main gmock)
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
    vesk_windows_defaults(${name})
    vesk_static_runtime(${name})
    # The Win32 layer imports the film library: the test finds the DLL beside itself, as
    # Vesk.exe does on the medium.
    if(("vesk_win" IN_LIST T_LIBS OR "smackw32_import" IN_LIST T_LIBS) AND TARGET smackw32)
        smackw32_beside(${name})
    endif()
    _vesk_result_arg(${name} result)
    add_test(NAME ${name} COMMAND ${name} ${result} ${T_ARGS} WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
    if(T_E2E)
        set_tests_properties(${name} PROPERTIES LABELS e2e RUN_SERIAL TRUE)
    else()
        set_tests_properties(${name} PROPERTIES LABELS windows)
    endif()
endfunction()
