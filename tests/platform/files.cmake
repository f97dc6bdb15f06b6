serbox_test(test_std_file_system SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/StdFileSystemTest.cpp LIBS serbox_core)
