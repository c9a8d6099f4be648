# The file commands bound to the command table's slots.
if(NOT QW_HOST)
  target_sources(editor PRIVATE ${CMAKE_CURRENT_LIST_DIR}/doccmds.cpp)
endif()
