# Cross-compiles for 32-bit Windows, the shipped product.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(VELNOR_TRIPLE i686-w64-mingw32)
set(VELNOR_WINE_ARCH win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
