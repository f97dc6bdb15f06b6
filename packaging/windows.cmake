# The Windows deliverable (cmake/mingw-w64-qt.cmake): window programs without a
# console, serbox-cli.exe with one, and serbox-<version>-windows-x64.zip holding everything a Windows PC
# needs beside them (target package_windows, make package-windows).
set_target_properties(serbox_en serbox_it PROPERTIES WIN32_EXECUTABLE ON)

# Each program's icon, manifest and its version in Explorer's properties: a resource built
# by MinGW's windres. A program added to the package calls this too.
enable_language(RC)
set(SERBOX_PUBLISHER "serbox developers")
function(serbox_windows_resource target file description)
  set(SERBOX_RC_FILE ${file})
  set(SERBOX_RC_DESCRIPTION ${description})
  set(SERBOX_RC_ICON ${PROJECT_SOURCE_DIR}/packaging/serbox.ico)
  set(SERBOX_RC_MANIFEST ${PROJECT_SOURCE_DIR}/packaging/serbox.manifest)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows.rc.in ${PROJECT_BINARY_DIR}/resources/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${PROJECT_BINARY_DIR}/resources/${target}.rc)
  set_property(SOURCE ${PROJECT_BINARY_DIR}/resources/${target}.rc APPEND PROPERTY OBJECT_DEPENDS
    ${SERBOX_RC_ICON} ${SERBOX_RC_MANIFEST})
endfunction()
serbox_windows_resource(serbox_en serbox.exe "serbox (English)")
serbox_windows_resource(serbox_it serbox-it.exe "serbox (italiano)")
serbox_windows_resource(serbox_listing serbox-listing.exe "serbox listing tool")
serbox_windows_resource(serbox_cli serbox-cli.exe "serbox for batches and scripts")

execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
  OUTPUT_VARIABLE libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
get_filename_component(gcc_dlls ${libstdcxx} DIRECTORY)
if(NOT mingw)
  set(mingw x86_64-w64-mingw32)
endif()

# Qt's Italian texts from Debian's qt6-translations-l10n; the licences of what
# the package ships beside serbox (name in licences/ = Debian's file).
find_file(SERBOX_QTBASE_IT qtbase_it.qm PATHS /usr/share/qt6/translations NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT SERBOX_QTBASE_IT)
  message(FATAL_ERROR "no qtbase_it.qm: scripts/install-deps.sh installs qt6-translations-l10n")
endif()
set(licences
  "Qt-copyright.txt=/usr/share/doc/libqt6core6/copyright"
  "LGPL-3.txt=/usr/share/common-licenses/LGPL-3"
  "GPL-3.txt=/usr/share/common-licenses/GPL-3"
  "MinGW-GCC-runtime-copyright.txt=/usr/share/doc/gcc-mingw-w64-base/copyright"
  "MinGW-w64-copyright.txt=/usr/share/doc/mingw-w64-common/copyright")
string(REPLACE ";" "|" licences "${licences}")

add_custom_target(package_windows
  COMMAND ${CMAKE_COMMAND}
    -DVERSION=${PROJECT_VERSION}
    -DEN=$<TARGET_FILE:serbox_en> -DIT=$<TARGET_FILE:serbox_it> -DLISTING=$<TARGET_FILE:serbox_listing>
    -DCLI=$<TARGET_FILE:serbox_cli>
    -DQT_CORE=$<TARGET_FILE:Qt6::Core>
    "-DRUNTIME=${gcc_dlls}/libstdc++-6.dll;${gcc_dlls}/libgcc_s_seh-1.dll;/usr/${mingw}/lib/libwinpthread-1.dll"
    -DQT_TRANSLATIONS=${SERBOX_QTBASE_IT} "-DLICENCES=${licences}"
    -DSTRIP=${CMAKE_STRIP} -DOBJDUMP=${mingw}-objdump
    -DSTAGE=${PROJECT_BINARY_DIR}/package -DOUT=${PROJECT_BINARY_DIR}
    -P ${CMAKE_CURRENT_LIST_DIR}/windows-zip.cmake
  DEPENDS serbox_en serbox_it serbox_listing serbox_cli
  VERBATIM)

# serbox-<version>-setup.exe beside the zip, made by Debian's makensis from the
# folder the zip was made of (target installer_windows, make installer-windows).
find_program(SERBOX_MAKENSIS makensis)
add_custom_target(installer_windows
  COMMAND ${CMAKE_COMMAND} -DVERSION=${PROJECT_VERSION} -DMAKENSIS=${SERBOX_MAKENSIS}
    "-DPUBLISHER=${SERBOX_PUBLISHER}" -DSTAGE=${PROJECT_BINARY_DIR}/package/serbox-${PROJECT_VERSION}
    -DRUNNING_MUTEX=${SERBOX_RUNNING_MUTEX} -DOUT=${PROJECT_BINARY_DIR}/serbox-${PROJECT_VERSION}-setup.exe
    -P ${CMAKE_CURRENT_LIST_DIR}/windows-installer.cmake
  VERBATIM)
add_dependencies(installer_windows package_windows)
# The next patch version of the same files, for the test of an update over it.
math(EXPR next_patch "${PROJECT_VERSION_PATCH} + 1")
set(SERBOX_NEXT_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${next_patch})
add_custom_target(installer_windows_next
  COMMAND ${CMAKE_COMMAND} -DVERSION=${SERBOX_NEXT_VERSION} -DMAKENSIS=${SERBOX_MAKENSIS}
    "-DPUBLISHER=${SERBOX_PUBLISHER}" -DSTAGE=${PROJECT_BINARY_DIR}/package/serbox-${PROJECT_VERSION}
    -DRUNNING_MUTEX=${SERBOX_RUNNING_MUTEX} -DOUT=${PROJECT_BINARY_DIR}/next/serbox-${SERBOX_NEXT_VERSION}-setup.exe
    -P ${CMAKE_CURRENT_LIST_DIR}/windows-installer.cmake
  VERBATIM)
add_dependencies(installer_windows_next package_windows)
