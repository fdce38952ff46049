# Test programs are Windows programs: ctest runs them under wine64 in a
# private prefix inside the build folder, with one wineserver kept alive for
# the whole run. Programs that show windows run in a second prefix that has
# an X display of its own (Xvfb), so every other test stays headless.

find_program(WINE64_PROGRAM NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
find_program(WINESERVER_PROGRAM NAMES wineserver REQUIRED)
find_program(XVFB_PROGRAM NAMES Xvfb REQUIRED)

# Writes the runner ${CMAKE_BINARY_DIR}/<runner> for the prefix <prefix>.
function(tarmesh_wine_runner runner prefix with_display)
    set(TARMESH_WINEPREFIX ${CMAKE_BINARY_DIR}/${prefix})
    set(TARMESH_WINE_DISPLAY ${with_display})
    configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/${runner}
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                         WORLD_READ WORLD_EXECUTE
        @ONLY)
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
    if(ARG_WINDOWS)
        set(runner wine-run-x)
    endif()
    add_executable(${name} ${ARG_UNPARSED_ARGUMENTS})
    target_link_libraries(${name} PRIVATE GTest::gtest tarmesh_test_support)
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/${runner})
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES FIXTURES_REQUIRED ${runner})
endfunction()
