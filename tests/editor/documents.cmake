# Tests of the language table, dictionaries, style sheets and documents.
qw_test(test_langspec
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_langspec.cpp
  LIBS editor)
