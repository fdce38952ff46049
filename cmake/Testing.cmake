# Test programs are Windows programs: ctest runs them under wine64 in a
# private prefix inside the build folder, with one wineserver kept alive for
# the whole run. Programs that show windows run in a second prefix that has
# an X display of its own (Xvfb), so every other test stays headless.

find_program(XVFB_PROGRAM NAMES Xvfb REQUIRED)
include(${CMAKE_SOURCE_DIR}/cmake/WineRunner.cmake)

# The runner ${CMAKE_BINARY_DIR}/<runner> and the fixture of the same name,
# whose start and stop tests keep one wineserver alive for the whole run.
function(tarmesh_wine_runner runner prefix with_display)
    tarmesh_wine_runner_script(${runner} ${prefix} ${with_display})
    add_test(NAME ${runner}.start COMMAND ${CMAKE_BINARY_DIR}/${runner} --start)
    add_test(NAME ${runner}.stop COMMAND ${CMAKE_BINARY_DIR}/${runner} --stop)
    set_tests_properties(${runner}.start PROPERTIES FIXTURES_SETUP ${runner} TIMEOUT 180)
    set_tests_properties(${runner}.stop PROPERTIES FIXTURES_CLEANUP ${runner})
endfunction()

enable_testing()
include(GoogleTest)
tarmesh_wine_runner(wine-run wineprefix 0)
tarmesh_wine_runner(wine-run-x wineprefix-x 1)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# GoogleTest from Debian's sources, built with this toolchain.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# A GoogleTest program whose cases each become one ctest test, run under
# Wine; WINDOWS gives it the prefix with a display.
function(tarmesh_add_gtest name)
    cmake_parse_arguments(PARSE_ARGV 1 ARG "WINDOWS" "" "")
    set(runner wine-run)
    set(lock "")
    if(ARG_WINDOWS)
        # Window tests answer message boxes by their captions, so no two
        # may show boxes on the display at the same time.
        set(runner wine-run-x)
        set(lock RESOURCE_LOCK wine-run-x-display)
    endif()
    add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE GTest::gtest tarmesh_test_support)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/${runner})
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES FIXTURES_REQUIRED ${runner} ${lock})
endfunction()
