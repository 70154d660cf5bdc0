# The x86_64 cross build with the posix thread model, for the Wine test
# doubles only: their code uses the standard mutexes, which GCC 12's win32
# thread model lacks. The shipped DLL keeps the win32 model (see
# cmake/mingw-x86_64.cmake).
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/mingw-x86_64.cmake)
set(CMAKE_C_COMPILER ${TARNWICK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TARNWICK_MINGW_TRIPLE}-g++-posix)
