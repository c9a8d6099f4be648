set(_qw_cmd_tests test_cmdtable.cpp test_cmdvalues.cpp test_cmdseq.cpp)
if(NOT QW_HOST)
  list(APPEND _qw_cmd_tests test_cmdprofile_win32.cpp ${CMAKE_SOURCE_DIR}/res/strings_commands.rc)
endif()
qw_test(test_cmdtable SOURCES ${_qw_cmd_tests} LIBS commands)
if(NOT QW_HOST)
  # The resource compiler's includes are not tracked: rebuild on a change of
  # the generated entries.
  set_source_files_properties(${CMAKE_SOURCE_DIR}/res/strings_commands.rc PROPERTIES
    OBJECT_DEPENDS ${CMAKE_SOURCE_DIR}/res/strings_cmdtable.rc)
endif()
target_compile_definitions(test_cmdtable PRIVATE QW_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

# Command names through the real command dictionary of the editor layer.
set(_qw_cmd_dict_tests test_cmddict.cpp
  ${CMAKE_SOURCE_DIR}/tests/editor/doc_test_env.cpp ${CMAKE_SOURCE_DIR}/tests/Reu/reu_test_env.cpp)
if(NOT QW_HOST)
  list(APPEND _qw_cmd_dict_tests ${CMAKE_SOURCE_DIR}/res/strings_documents.rc)
endif()
qw_test(test_cmddict SOURCES ${_qw_cmd_dict_tests} LIBS editor commands)
target_compile_definitions(test_cmddict PRIVATE QW_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
