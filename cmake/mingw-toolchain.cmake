# Shared part of the MinGW-w64 toolchain files (mingw-i686.cmake,
# mingw-x86_64.cmake), which set BRX_MINGW_TRIPLE and the processor first.
# The posix thread-model compilers are named explicitly: the default
# alternative (win32 model) lacks std::thread on GCC 12, which tests may use.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${BRX_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${BRX_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${BRX_MINGW_TRIPLE}-windres)
set(CMAKE_OBJDUMP ${BRX_MINGW_TRIPLE}-objdump)

# Headers and libraries come from the MinGW sysroot only (and the prefix
# scripts/mingw-libdeflate installs into); host paths such as /usr/include
# must never leak into a Windows build.
set(CMAKE_FIND_ROOT_PATH /usr/${BRX_MINGW_TRIPLE} /usr/local/${BRX_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
