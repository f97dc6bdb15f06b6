serbox_test(test_virtual_key SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/VirtualKeyTest.cpp LIBS serbox_platform_qt Qt6::Gui LABELS gui)
