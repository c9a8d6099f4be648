qw_test(test_shell_status
  SOURCES test_cmdline.cpp test_dnaa.cpp test_nbmsgbox.cpp test_outputpane.cpp test_statusbar.cpp test_status.rc
  LIBS qwstatus)
target_compile_definitions(test_shell_status PRIVATE QW_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_executable(handoff_peer handoff_peer.cpp)
target_link_libraries(handoff_peer PRIVATE qwstatus)
target_sources(test_shell_status PRIVATE test_handoff_processes.cpp)
add_dependencies(test_shell_status handoff_peer)
# windres does not follow the string table the script includes.
set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/test_status.rc PROPERTIES
  OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/res/strings_status.rc)
