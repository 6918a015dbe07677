# Cross-build of the 32-bit Windows product (quorvel.dll for the modeller's
# 32-bit edition, mqhost.exe and the test suites) with Debian's mingw-w64;
# CTest runs the results under Wine's 32-bit side.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(QUORVEL_MINGW_PREFIX i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw-common.cmake)
