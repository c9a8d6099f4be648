# Tests of the undo logs, the lexical-state scan and the line sort.
include_guard(DIRECTORY)
qw_test(test_vmlex
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/test_lex_lang.h
    ${CMAKE_CURRENT_LIST_DIR}/test_lex_lang.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_lex_scan.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_undo_logs.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_sort_lines.cpp
  LIBS vmengine opsys
)
