# The same sources for 64-bit Windows (x86_64). Used to run the Windows tests
# under Wine on machines that cannot execute 32-bit code at all.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QW_MINGW x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
