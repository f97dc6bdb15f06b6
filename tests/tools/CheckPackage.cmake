# cmake -DBUILD_DIR=... -DWORK_DIR=... -DWITH_DEVICE=0|1 -P CheckPackage.cmake
# Makes the .deb from the already built tree (cpack builds nothing itself with the
# Ninja generator) and checks its control fields, its contents and its menu entries.
include(${CMAKE_CURRENT_LIST_DIR}/InstallChecks.cmake)

file(REMOVE_RECURSE "${WORK_DIR}")
run(cpack --config "${BUILD_DIR}/CPackConfig.cmake" -B "${WORK_DIR}")
file(GLOB debs "${WORK_DIR}/*.deb")
list(LENGTH debs count)
if(NOT count EQUAL 1)
  fail("expected one .deb in ${WORK_DIR}, found: ${debs}")
endif()

execute_process(COMMAND dpkg-deb -f "${debs}" Package Depends OUTPUT_VARIABLE control)
if(NOT control MATCHES "Package: serbox\n")
  fail("package name is not serbox:\n${control}")
endif()
# The platform plugin too: without it the program does not start.
foreach(dep IN ITEMS libqt6widgets6 libqt6serialport6 libqt6network6 libqt6core6 qt6-qpa-plugins)
  if(NOT control MATCHES "[ ,]${dep}[ ,(\n]")
    fail("Depends lacks ${dep}:\n${control}")
  endif()
endforeach()

execute_process(COMMAND dpkg-deb -c "${debs}" OUTPUT_VARIABLE listing)
if(NOT listing MATCHES " \\./usr/bin/serbox-it\n")
  fail("the package does not hold /usr/bin/serbox-it:\n${listing}")
endif()
run(dpkg-deb -x "${debs}" "${WORK_DIR}/root")
check_installed_files("${WORK_DIR}/root/usr" ${WITH_DEVICE})
check_desktop_entries("${WORK_DIR}/root/usr")
file(REMOVE_RECURSE "${WORK_DIR}")
