# Tests of the language table, dictionaries, style sheets and documents.
set(_doc_env
  ${CMAKE_CURRENT_LIST_DIR}/doc_test_env.cpp
  ${CMAKE_SOURCE_DIR}/tests/Reu/reu_test_env.cpp)
set(_doc_strings $<$<NOT:$<BOOL:${QW_HOST}>>:${CMAKE_SOURCE_DIR}/res/strings_documents.rc>)
qw_test(test_langspec
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_langspec.cpp
  LIBS editor)
qw_test(test_langdict
  SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_langdict.cpp ${_doc_env} ${_doc_strings}
  LIBS editor)
target_compile_definitions(test_langdict PRIVATE QW_CONFIG_DIR="${CMAKE_SOURCE_DIR}/config")
if(NOT QW_HOST)
  qw_test(test_stylesheet
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_stylesheet.cpp ${_doc_env} ${_doc_strings}
    LIBS editor)
  target_compile_definitions(test_stylesheet PRIVATE QW_CONFIG_DIR="${CMAKE_SOURCE_DIR}/config")
  qw_test(test_qwdoc
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_qwdoc.cpp ${_doc_env} ${_doc_strings}
    LIBS editor)
  target_compile_definitions(test_qwdoc PRIVATE QW_CONFIG_DIR="${CMAKE_SOURCE_DIR}/config")
endif()
