# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (posix thread model, which
# the C++ standard library's threads and mutexes need).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(RZL_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${RZL_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${RZL_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${RZL_MINGW_TRIPLE}-windres)
# Kept with any roots given on the command line (such as a Qt built for Windows).
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${RZL_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
