# The file and window commands run through the command executor on real
# documents in an MDI frame (inserting a file name uses the clipboard).
qw_test(test_filecommands
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_filecommands.cpp ${CMAKE_CURRENT_LIST_DIR}/test_filecommands.rc
    ${CMAKE_SOURCE_DIR}/tests/editor/doc_test_env.cpp ${CMAKE_SOURCE_DIR}/tests/Reu/reu_test_env.cpp
  LIBS qwshell
  LOCKS clipboard)
