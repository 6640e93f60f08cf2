# Cross-compiles for 64-bit Windows (PE32+, AMD64) with Debian's MinGW-w64.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(BRX_MINGW_TRIPLE x86_64-w64-mingw32)
set(BRX_WINDOWS_ARCH x64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-toolchain.cmake)
