# Cross-compiles for x86-64 Windows: the module for a 64-bit host process,
# and the build the tests run where 32-bit programs cannot.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(VELNOR_TRIPLE x86_64-w64-mingw32)
set(VELNOR_WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
