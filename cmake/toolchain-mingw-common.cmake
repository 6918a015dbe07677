# What the two Windows cross-builds share; each toolchain file sets
# QUORVEL_MINGW_PREFIX and CMAKE_SYSTEM_PROCESSOR, then includes this file.

# The posix thread variant: GoogleTest needs std::mutex, which the win32
# variant of this compiler lacks. winpthread is linked statically, so the
# product still imports system DLLs only.
set(CMAKE_C_COMPILER ${QUORVEL_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVEL_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVEL_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${QUORVEL_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Wine with a prefix of the build's own, created on first use and reused;
# no debug chatter and no Mono or Gecko installer prompts. The script picks
# Wine's 32- or 64-bit side from the program it is given.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh)
