# Where the editor talks back: status bar, output tabs, the do-not-ask-again
# store, the command line with the single instance and the hand-off.
add_library(qwstatus STATIC
  ${CMAKE_CURRENT_LIST_DIR}/cmdline_block.cpp
  ${CMAKE_CURRENT_LIST_DIR}/cmdline.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dnaa.cpp
  ${CMAKE_CURRENT_LIST_DIR}/statusbar.cpp
  ${CMAKE_CURRENT_LIST_DIR}/statusbar_install.cpp
  ${CMAKE_CURRENT_LIST_DIR}/qwwiring_output.cpp
)
target_link_libraries(qwstatus PUBLIC QWControls qwframework commands reu opsys QW::pugixml comctl32)
target_sources(qwstatus PRIVATE ${CMAKE_CURRENT_LIST_DIR}/outputpane.cpp)
target_link_libraries(qwstatus PUBLIC qwshell)
target_link_libraries(QW32 PRIVATE qwstatus)
