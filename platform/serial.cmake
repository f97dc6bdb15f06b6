# The serial component: the same logic everywhere, on the system's own port
# (SerialTransport_unix.cpp: Qt Serial Port; SerialTransport_win.cpp: Win32).
target_sources(serbox_platform_qt PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/QtSerialPort.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/SerialTransport_${SERBOX_SYSTEM}.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/PortSetupDialog.cpp)
target_link_libraries(serbox_platform_qt PUBLIC serbox_serial_native)
if(NOT WIN32)
  target_link_libraries(serbox_platform_qt PUBLIC Qt6::SerialPort)
endif()
