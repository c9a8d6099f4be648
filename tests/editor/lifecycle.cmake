# Tests of the document life cycle: saving, bookmarks, the document manager,
# worker-thread opens, the read thread, modes, locking and reload.
if(NOT QW_HOST)
  qw_test(test_lifecycle
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_lifecycle.cpp ${CMAKE_CURRENT_LIST_DIR}/test_lifecycle.rc
      ${CMAKE_CURRENT_LIST_DIR}/doc_test_env.cpp ${CMAKE_SOURCE_DIR}/tests/Reu/reu_test_env.cpp
    LIBS editor)
  target_compile_definitions(test_lifecycle PRIVATE QW_CONFIG_DIR="${CMAKE_SOURCE_DIR}/config")
endif()
if(NOT QW_HOST)
  # Whole-file open timing under Wine (not a test): bench_docopen FILE.
  add_executable(bench_docopen ${CMAKE_CURRENT_LIST_DIR}/bench_docopen.cpp ${CMAKE_CURRENT_LIST_DIR}/test_lifecycle.rc)
  target_link_libraries(bench_docopen PRIVATE editor psapi)
  qw_split_debug_info(bench_docopen)
endif()
