# Windows programs of this build run here under wine64, through a runner
# script that keeps them in a Wine prefix inside the build folder.

find_program(WINE64_PROGRAM NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
find_program(WINESERVER_PROGRAM NAMES wineserver REQUIRED)

# Writes the runner ${CMAKE_BINARY_DIR}/<runner> for the prefix <prefix>;
# with_display 1 gives the prefix an Xvfb display of its own.
function(tarmesh_wine_runner_script runner prefix with_display)
    set(TARMESH_WINEPREFIX ${CMAKE_BINARY_DIR}/${prefix})
    set(TARMESH_WINE_DISPLAY ${with_display})
    configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/${runner}
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                         WORLD_READ WORLD_EXECUTE
        @ONLY)
endfunction()
