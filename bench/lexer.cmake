# Colouring lexer: lines per second over a large C file in measure mode.
if(TARGET editor)
  add_executable(bench_lexer ${CMAKE_SOURCE_DIR}/bench/lexer_bench.cpp)
  target_link_libraries(bench_lexer PRIVATE editor benchmark::benchmark)
  target_compile_definitions(bench_lexer PRIVATE QW_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
endif()
