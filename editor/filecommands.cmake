# The file commands bound to the command table's slots, and their dialogs.
if(NOT QW_HOST)
  target_sources(editor PRIVATE ${CMAKE_CURRENT_LIST_DIR}/doccmds.cpp ${CMAKE_CURRENT_LIST_DIR}/docdialogs.cpp)
endif()
