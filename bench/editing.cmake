# Editing engine: typing at random places of a large buffer and undoing it.
if(TARGET editor)
  add_executable(bench_editing ${CMAKE_SOURCE_DIR}/bench/editing_bench.cpp)
  target_link_libraries(bench_editing PRIVATE editor benchmark::benchmark)
endif()
