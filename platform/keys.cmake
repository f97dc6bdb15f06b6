target_sources(serbox_platform_qt PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/QtVirtualKey.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/QtVirtualKey_${SERBOX_SYSTEM}.cpp)
if(NOT WIN32)
  # The active layout, asked of the X server.
  find_package(X11 REQUIRED)
  target_link_libraries(serbox_platform_qt PRIVATE X11::X11)
endif()
