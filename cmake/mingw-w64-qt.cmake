# The whole program for 64-bit Windows, cross-built on Debian with MinGW-w64 against
# the Qt that scripts/build-qt-windows.sh builds once per machine (make
# build-windows-qt):
#   cmake -S . -B build-windows-qt -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-qt.cmake
# Its tests run under Wine (label windows); Qt's host tools (moc, uic) are Debian's,
# of the same version.
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64-compilers.cmake)

if(NOT SERBOX_QT_WINDOWS_PREFIX)
  execute_process(COMMAND ${CMAKE_CURRENT_LIST_DIR}/../scripts/build-qt-windows.sh --prefix
    OUTPUT_VARIABLE SERBOX_QT_WINDOWS_PREFIX OUTPUT_STRIP_TRAILING_WHITESPACE)
  set(SERBOX_QT_WINDOWS_PREFIX ${SERBOX_QT_WINDOWS_PREFIX} CACHE PATH "Qt for Windows (scripts/build-qt-windows.sh)")
endif()
if(NOT EXISTS ${SERBOX_QT_WINDOWS_PREFIX}/.complete)
  message(FATAL_ERROR "No Qt for Windows in ${SERBOX_QT_WINDOWS_PREFIX}: run scripts/build-qt-windows.sh first")
endif()
list(APPEND CMAKE_FIND_ROOT_PATH ${SERBOX_QT_WINDOWS_PREFIX})
list(APPEND CMAKE_PREFIX_PATH ${SERBOX_QT_WINDOWS_PREFIX})
set(QT_HOST_PATH /usr)
set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)

set(SERBOX_GTEST_SOURCE /usr/src/googletest CACHE PATH "")

# Tests and test discovery run through Wine, with a prefix inside the build tree,
# finding the Qt and MinGW runtime DLLs where they lie.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
  OUTPUT_VARIABLE serbox_libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(serbox_gcc_dlls ${serbox_libstdcxx} DIRECTORY)
set(SERBOX_WINE_DLL_DIRS "${SERBOX_QT_WINDOWS_PREFIX}/bin:${serbox_gcc_dlls}:/usr/${mingw}/lib")
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-path.sh ${SERBOX_WINE_DLL_DIRS}
  ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh --test ${CMAKE_BINARY_DIR}/wine)
