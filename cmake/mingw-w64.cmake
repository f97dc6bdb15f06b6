# The Qt-free parts for 64-bit Windows, cross-built on Debian with MinGW-w64
# (g++-mingw-w64-x86-64-posix) and tested under Wine (wine64):
#   cmake -S . -B build-windows -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
# Debian has no Qt 6 for Windows, so this tree leaves Qt out (SERBOX_QT_FREE) and
# builds GoogleTest from Debian's googletest sources with the same compiler.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-compilers.cmake)

# One .exe needing no MinGW runtime DLLs beside it: serbox-listing.exe is handed
# out as it is.
set(CMAKE_EXE_LINKER_FLAGS_INIT -static)

set(SERBOX_QT_FREE ON CACHE BOOL "")
set(SERBOX_GTEST_SOURCE /usr/src/googletest CACHE PATH "")

# Tests and test discovery run through Wine, with a prefix inside the build tree.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh --test ${CMAKE_BINARY_DIR}/wine)
