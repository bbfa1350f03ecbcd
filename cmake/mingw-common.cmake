# What both Windows toolchains share: Debian's mingw-w64 for the triple the
# including file names, posix thread model, and Wine as the test runner.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER   ${VELNOR_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VELNOR_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${VELNOR_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VELNOR_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)

# Test executables run under the Wine of this architecture, in the build
# tree's private prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR
    ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run --arch ${VELNOR_WINE_ARCH})
