# Windows programs of this build run here under Wine, through a runner
# script that keeps them in a Wine prefix inside the build folder: the
# 64-bit build under this machine's wine64, the 32-bit build under the Wine
# of the 32-bit root that scripts/bootstrap.sh makes (its i386 side runs
# emulated, as this machine's kernel runs no 32-bit code).

if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(TARMESH_WINE_ROOT /opt/tarmesh-wine32/root CACHE PATH
        "Root of the Wine that runs this build's 32-bit programs")
    if(NOT EXISTS ${TARMESH_WINE_ROOT}/usr/lib/wine/wine64)
        message(FATAL_ERROR "No 32-bit Wine root in ${TARMESH_WINE_ROOT}: run scripts/bootstrap.sh")
    endif()
    # Paths inside the root; wine64 hands 32-bit programs to the i386 loader.
    set(TARMESH_WINE /usr/lib/wine/wine64)
    set(TARMESH_WINESERVER /usr/lib/wine/wineserver64)
    set(TARMESH_WINE_ROOT_ENTER ${CMAKE_SOURCE_DIR}/cmake/wine-root-enter.sh)
    # The root sees the sources and this build at their own paths.
    set(TARMESH_WINE_ROOT_FOLDERS "\"${CMAKE_SOURCE_DIR}\" \"${CMAKE_BINARY_DIR}\"")
else()
    find_program(WINE64_PROGRAM NAMES wine64 PATHS /usr/lib/wine NO_DEFAULT_PATH REQUIRED)
    find_program(WINESERVER_PROGRAM NAMES wineserver REQUIRED)
    set(TARMESH_WINE ${WINE64_PROGRAM})
    set(TARMESH_WINESERVER ${WINESERVER_PROGRAM})
    set(TARMESH_WINE_ROOT "")
endif()

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
