# Cross-compiles for 32-bit Windows (PE32, i386) with Debian's MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(BRX_MINGW_TRIPLE i686-w64-mingw32)
set(BRX_WINDOWS_ARCH x86)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
