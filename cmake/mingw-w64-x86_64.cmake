# Cross build for Windows x86-64 with Debian's MinGW-w64 (packages g++-mingw-w64-x86-64-posix and
# wine for the tests): cmake -S . -B build/windows --toolchain cmake/mingw-w64-x86_64.cmake
# The posix threads variant gives the complete C++ threads library; -static puts the C and C++
# runtimes and winpthreads into every .exe, so that the programs run without the MinGW DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(DODIVEVERAZED_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${DODIVEVERAZED_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${DODIVEVERAZED_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${DODIVEVERAZED_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${DODIVEVERAZED_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

# Every test program runs under Wine, in the build's own prefix, so that CTest and
# gtest_discover_tests work as on Linux.
get_filename_component(DODIVEVERAZED_WINE_RUN ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${DODIVEVERAZED_WINE_RUN} ${CMAKE_BINARY_DIR}/wineprefix)
