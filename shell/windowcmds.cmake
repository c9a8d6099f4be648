# The Window menu's commands and the About box, bound to command slots.
target_sources(qwshell PRIVATE ${CMAKE_CURRENT_LIST_DIR}/windowcmds.cpp)
