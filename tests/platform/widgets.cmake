serbox_test(test_text_area QT_MAIN SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/TextAreaTest.cpp
  LIBS serbox_platform_qt Qt6::Test LABELS gui)
