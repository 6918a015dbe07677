# Cross-build of the 64-bit Windows product (quorvel.dll for the modeller's
# 64-bit edition, a 64-bit mqhost.exe and the test suites) with Debian's
# mingw-w64; CTest runs the results under wine64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(QUORVEL_MINGW_PREFIX x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
