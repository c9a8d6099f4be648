# Tests of the text view: column mapping and colour table (both builds);
# row painting, the drawing thread and the view window (Windows, under Wine).
qw_test(test_colmap SOURCES test_colmap.cpp LIBS editor)
if(NOT QW_HOST)
  qw_test(test_textview
    SOURCES
      test_textview.cpp test_view_lexer.cpp view_lexer_lang.cpp test_textview.rc
      ${CMAKE_CURRENT_LIST_DIR}/doc_test_env.cpp ${CMAKE_SOURCE_DIR}/tests/Reu/reu_test_env.cpp
    LIBS editor qwframework)
  # In-process timing of the painter (run by hand: bench_view_paint.exe).
  add_executable(bench_view_paint bench_view_paint.cpp view_lexer_lang.cpp)
  target_link_libraries(bench_view_paint PRIVATE editor qwframework qw_testsupport)
endif()
