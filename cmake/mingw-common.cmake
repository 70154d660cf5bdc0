# What the mingw-w64 toolchain files share; each sets CMAKE_SYSTEM_PROCESSOR,
# TARNWICK_MINGW_TRIPLE and TARNWICK_WIDL_BITS first.
#
# The win32 thread model: its runtime needs nothing newer than Windows 2000
# (the posix model's winpthreads imports GetTickCount64, which Windows Server
# 2003 lacks, so the DLL would not load there).
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${TARNWICK_MINGW_TRIPLE}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TARNWICK_MINGW_TRIPLE}-g++-win32)
set(CMAKE_RC_COMPILER ${TARNWICK_MINGW_TRIPLE}-windres)
find_program(TARNWICK_WIDL ${TARNWICK_MINGW_TRIPLE}-widl REQUIRED)

set(CMAKE_FIND_ROOT_PATH /usr/${TARNWICK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
