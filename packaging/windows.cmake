# The Windows deliverable (cmake/mingw-w64-qt.cmake): window programs without a
# console, serbox-cli.exe with one, and serbox-<version>-windows-x64.zip holding everything a Windows PC
# needs beside them (target package_windows, make package-windows).
set_target_properties(serbox_en serbox_it PROPERTIES WIN32_EXECUTABLE ON)

execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
  OUTPUT_VARIABLE libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(gcc_dlls ${libstdcxx} DIRECTORY)
if(NOT mingw)
  set(mingw x86_64-w64-mingw32)
endif()

add_custom_target(package_windows
  COMMAND ${CMAKE_COMMAND}
    -DVERSION=${PROJECT_VERSION}
    -DEN=$<TARGET_FILE:serbox_en> -DIT=$<TARGET_FILE:serbox_it> -DLISTING=$<TARGET_FILE:serbox_listing>
    -DCLI=$<TARGET_FILE:serbox_cli>
    -DQT_CORE=$<TARGET_FILE:Qt6::Core>
    "-DRUNTIME=${gcc_dlls}/libstdc++-6.dll;${gcc_dlls}/libgcc_s_seh-1.dll;/usr/${mingw}/lib/libwinpthread-1.dll"
    -DSTRIP=${CMAKE_STRIP} -DOBJDUMP=${mingw}-objdump
    -DSTAGE=${PROJECT_BINARY_DIR}/package -DOUT=${PROJECT_BINARY_DIR}
    -P ${CMAKE_CURRENT_LIST_DIR}/windows-zip.cmake
  DEPENDS serbox_en serbox_it serbox_listing serbox_cli
  VERBATIM)
