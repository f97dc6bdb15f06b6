target_sources(serbox_platform_qt PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/QtWidgets.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/QtProcess_${SERBOX_SYSTEM}.cpp)
