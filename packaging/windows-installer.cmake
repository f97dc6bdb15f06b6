# cmake -P windows-installer.cmake: serbox-<version>-setup.exe from the staged
# folder of the zip (windows-zip.cmake), whatever it holds. Inputs: VERSION,
# PUBLISHER, MAKENSIS, STAGE (the staged folder), OUT (the installer's path),
# RUNNING_MUTEX (the mark a running serbox holds).
# The uninstaller removes exactly the files listed here, so that nothing a user
# put in the folder goes with it.
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/made.cmake)
if(NOT MAKENSIS)
  message(FATAL_ERROR "makensis not found: scripts/install-deps.sh installs Debian's nsis")
endif()
if(NOT EXISTS ${STAGE}/serbox.exe)
  message(FATAL_ERROR "nothing staged in ${STAGE}: build package_windows first")
endif()
get_filename_component(out_dir ${OUT} DIRECTORY)
set(lists ${out_dir}/installer)
file(MAKE_DIRECTORY ${lists})

file(GLOB_RECURSE staged RELATIVE ${STAGE} ${STAGE}/*)
list(SORT staged)
set(install "")
set(remove "")
set(dirs "")
set(bytes 0)
set(at "")
foreach(f ${staged})
  get_filename_component(sub ${f} DIRECTORY)
  string(REPLACE "/" "\\" win_f "${f}")
  string(REPLACE "/" "\\" win_sub "${sub}")
  if(NOT sub STREQUAL at OR install STREQUAL "")
    if(sub)
      string(APPEND install "SetOutPath \"$INSTDIR\\${win_sub}\"\n")
      list(APPEND dirs ${win_sub})
    else()
      string(APPEND install "SetOutPath \"$INSTDIR\"\n")
    endif()
    set(at "${sub}")
  endif()
  string(APPEND install "File \"${STAGE}/${f}\"\n")
  string(APPEND remove "Delete \"$INSTDIR\\${win_f}\"\n")
  file(SIZE ${STAGE}/${f} size)
  math(EXPR bytes "${bytes} + ${size}")
endforeach()
# Deepest folders first; RMDir leaves a folder that still holds something.
list(REMOVE_DUPLICATES dirs)
list(SORT dirs ORDER DESCENDING)
foreach(d ${dirs})
  string(APPEND remove "RMDir \"$INSTDIR\\${d}\"\n")
endforeach()
file(WRITE ${lists}/install.nsh "${install}")
file(WRITE ${lists}/uninstall.nsh "${remove}")
math(EXPR kib "${bytes} / 1024")

string(REGEX MATCH "^[0-9]+\\.[0-9]+\\.[0-9]+" numeric "${VERSION}")
# The script is UTF-8 (its Italian texts); makensis would read it as ANSI.
execute_process(COMMAND ${MAKENSIS} -V2 -NOCD -INPUTCHARSET UTF8
    -DVERSION=${VERSION} -DVERSION4=${numeric}.0 "-DPUBLISHER=${PUBLISHER}" -DOUTFILE=${OUT}
    -DICON=${CMAKE_CURRENT_LIST_DIR}/serbox.ico -DINSTALL_LIST=${lists}/install.nsh
    -DUNINSTALL_LIST=${lists}/uninstall.nsh -DSIZE_KIB=${kib} -DRUNNING_MUTEX=${RUNNING_MUTEX}
    ${CMAKE_CURRENT_LIST_DIR}/serbox.nsi
  RESULT_VARIABLE r)
report_made("${r}" ${OUT} "makensis failed")
