# cmake -DBUILD_DIR=... -DWORK_DIR=... -DWITH_DEVICE=0|1 -P CheckInstall.cmake
# Installs the build tree into a fresh prefix and checks what the README says is there.
include(${CMAKE_CURRENT_LIST_DIR}/InstallChecks.cmake)

file(REMOVE_RECURSE "${WORK_DIR}")
run(${CMAKE_COMMAND} --install "${BUILD_DIR}" --prefix "${WORK_DIR}")
check_installed_files("${WORK_DIR}" ${WITH_DEVICE})
check_desktop_entries("${WORK_DIR}")
# The installed tool runs on its own.
run("${WORK_DIR}/bin/serbox-listing" --help)
run("${WORK_DIR}/bin/serbox-cli" --help)
file(REMOVE_RECURSE "${WORK_DIR}")
