# Test programs are Windows programs: ctest runs them under wine64 in a
# private prefix inside the build folder, with one wineserver kept alive for
# the whole run.

find_program(WINE64_PROGRAM NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
find_program(WINESERVER_PROGRAM NAMES wineserver REQUIRED)
set(TARMESH_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run
    FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE
    @ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

enable_testing()
include(GoogleTest)

# GoogleTest from Debian's sources, built with this toolchain.
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

add_test(NAME wine.start COMMAND ${CMAKE_BINARY_DIR}/wine-run --start)
add_test(NAME wine.stop COMMAND ${CMAKE_BINARY_DIR}/wine-run --stop)
set_tests_properties(wine.start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine.stop PROPERTIES FIXTURES_CLEANUP wine)

# A GoogleTest program whose cases each become one ctest test, run under Wine.
function(tarmesh_add_gtest name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE GTest::gtest tarmesh_test_support)
    gtest_discover_tests(${name}
        DISCOVERY_MODE PRE_TEST
        DISCOVERY_TIMEOUT 120
        PROPERTIES FIXTURES_REQUIRED wine)
endfunction()
