# Cross-compiling with Debian's MinGW-w64 (posix thread model) for x86_64 Windows.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR AMD64)

set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER   ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER  ${TOOLCHAIN_PREFIX}-windres)

# libdeflate is cross-built by scripts/bootstrap.sh into its own prefix.
set(LIBDEFLATE_PREFIX /opt/mingw-libdeflate CACHE PATH "Root of the MinGW builds of libdeflate")
set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX} ${LIBDEFLATE_PREFIX}/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
