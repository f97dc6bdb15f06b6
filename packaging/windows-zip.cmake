# cmake -P windows-zip.cmake: stages the Windows programs with the DLLs they load,
# stripped, Qt's Italian texts and the licence texts, checks that every DLL named in an import table is in the folder or is
# Windows' own, and zips the folder (see windows.cmake for the inputs).
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/made.cmake)
get_filename_component(QT_BIN ${QT_CORE} DIRECTORY)
get_filename_component(QT_PLUGINS ${QT_BIN}/../plugins ABSOLUTE)
set(name serbox-${VERSION})
set(dir ${STAGE}/${name})
file(REMOVE_RECURSE ${STAGE})
file(MAKE_DIRECTORY ${dir}/platforms ${dir}/styles)

file(COPY_FILE ${EN} ${dir}/serbox.exe)
file(COPY_FILE ${IT} ${dir}/serbox-it.exe)
file(COPY_FILE ${LISTING} ${dir}/serbox-listing.exe)
file(COPY_FILE ${CLI} ${dir}/serbox-cli.exe)
foreach(m Core Gui Widgets)
  file(COPY ${QT_BIN}/Qt6${m}.dll DESTINATION ${dir})
endforeach()
file(COPY ${QT_PLUGINS}/platforms/qwindows.dll DESTINATION ${dir}/platforms)
# The native look of Windows 10 and 11, where Qt has built it.
file(GLOB styles ${QT_PLUGINS}/styles/*.dll)
if(styles)
  file(COPY ${styles} DESTINATION ${dir}/styles)
else()
  file(REMOVE ${dir}/styles)
endif()
file(COPY ${RUNTIME} DESTINATION ${dir})
# Qt's own texts in Italian for serbox-it.exe (standard buttons, dialog titles);
# the .qm is the same on every system.
file(COPY ${QT_TRANSLATIONS} DESTINATION ${dir}/translations)
# What the shipped Qt and MinGW runtime are given under, as Debian ships the
# texts: its licence files and the copyright files of the same sources.
set(licences ${dir}/licences)
file(MAKE_DIRECTORY ${licences})
string(REPLACE "|" ";" LICENCES "${LICENCES}")
foreach(pair IN LISTS LICENCES)
  string(REPLACE "=" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 from)
  if(NOT EXISTS ${from})
    message(FATAL_ERROR "no ${from} for licences/${name}: scripts/install-deps.sh installs what holds it")
  endif()
  file(COPY_FILE ${from} ${licences}/${name})
endforeach()

file(GLOB_RECURSE binaries ${dir}/*.exe ${dir}/*.dll)
foreach(f ${binaries})
  execute_process(COMMAND ${STRIP} --strip-unneeded ${f} RESULT_VARIABLE r)
  if(r)
    message(FATAL_ERROR "cannot strip ${f}")
  endif()
endforeach()

# Windows' own DLLs; anything else an import table names must be in the folder.
set(system_dlls advapi32 authz comdlg32 d3d9 d3d11 d3d12 dwmapi dwrite dxgi gdi32 imm32 kernel32 msvcrt
  netapi32 ntdll ole32 oleaut32 setupapi shcore shell32 shlwapi user32 userenv uxtheme version winmm
  ws2_32 wtsapi32 mpr crypt32 bcrypt secur32 winspool.drv)
file(GLOB present RELATIVE ${dir} ${dir}/*.dll)
string(TOLOWER "${present}" present)
set(missing "")
foreach(f ${binaries})
  execute_process(COMMAND ${OBJDUMP} -p ${f} OUTPUT_VARIABLE dump RESULT_VARIABLE r)
  if(r)
    message(FATAL_ERROR "cannot read the import table of ${f}")
  endif()
  string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
  foreach(i ${imports})
    string(REGEX REPLACE "DLL Name: " "" dll "${i}")
    string(STRIP "${dll}" dll)
    string(TOLOWER "${dll}" dll)
    string(REGEX REPLACE "\\.dll$" "" base "${dll}")
    if(NOT dll IN_LIST present AND NOT base IN_LIST system_dlls AND NOT dll IN_LIST system_dlls
       AND NOT dll MATCHES "^api-ms-win-")
      get_filename_component(who ${f} NAME)
      list(APPEND missing "${who} needs ${dll}")
    endif()
  endforeach()
endforeach()
if(missing)
  list(JOIN missing "\n  " text)
  message(FATAL_ERROR "The package lacks DLLs:\n  ${text}")
endif()

set(zip ${OUT}/${name}-windows-x64.zip)
file(REMOVE ${zip})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip ${name} WORKING_DIRECTORY ${STAGE}
  RESULT_VARIABLE r)
report_made("${r}" ${zip} "cannot write ${zip}")
