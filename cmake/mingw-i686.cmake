# Cross-compiling for Windows (i686) with mingw-w64.
#
# The win32 thread model: its runtime needs nothing newer than Windows 2000
# (the posix model's winpthreads imports GetTickCount64, which Windows Server
# 2003 lacks, so the DLL would not load there).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TARNWICK_MINGW_TRIPLE i686-w64-mingw32)

set(CMAKE_C_COMPILER ${TARNWICK_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TARNWICK_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${TARNWICK_MINGW_TRIPLE}-windres)
find_program(TARNWICK_WIDL ${TARNWICK_MINGW_TRIPLE}-widl REQUIRED)
# widl writes the type library for this pointer size.
set(TARNWICK_WIDL_BITS --win32)

set(CMAKE_FIND_ROOT_PATH /usr/${TARNWICK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
