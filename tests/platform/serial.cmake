serbox_test(test_serial_port QT_MAIN SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/QtSerialPortTest.cpp ${CMAKE_CURRENT_SOURCE_DIR}/PortSetupDialogTest.cpp
  LIBS serbox_platform_qt Qt6::Test LABELS pty)
