# Cross-compiling for Windows (i686) with mingw-w64 (see mingw-common.cmake).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TARNWICK_MINGW_TRIPLE i686-w64-mingw32)
# widl writes the type library for this pointer size.
set(TARNWICK_WIDL_BITS --win32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
