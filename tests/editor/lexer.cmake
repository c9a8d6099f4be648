# Tests of the colouring lexer, over dictionaries compiled in a temporary
# configuration folder.
qw_test(test_lexer
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/test_lexer.cpp
    ${CMAKE_CURRENT_LIST_DIR}/doc_test_env.cpp
    ${CMAKE_SOURCE_DIR}/tests/Reu/reu_test_env.cpp
    $<$<NOT:$<BOOL:${QW_HOST}>>:${CMAKE_SOURCE_DIR}/res/strings_documents.rc>
  LIBS editor)
