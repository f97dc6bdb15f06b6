target_sources(serbox_platform_qt PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/QtSerialPort.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/PortNames.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/PortSetupDialog.cpp)
