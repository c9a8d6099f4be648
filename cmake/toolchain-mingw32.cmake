# The shipped build: 32-bit Windows (i686), mingw-w64 with posix threads.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QW_MINGW i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
