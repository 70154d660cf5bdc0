# Cross-compiling for Windows (x86_64) with mingw-w64 (see mingw-common.cmake).
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TARNWICK_MINGW_TRIPLE x86_64-w64-mingw32)
# widl writes the type library for this pointer size.
set(TARNWICK_WIDL_BITS --win64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
