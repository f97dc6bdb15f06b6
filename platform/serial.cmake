target_sources(serbox_platform_qt PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/QtSerialPort.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/PortSetupDialog.cpp)
target_link_libraries(serbox_platform_qt PUBLIC serbox_serial_native)
