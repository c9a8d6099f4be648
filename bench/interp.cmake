# Macro-program machine: instructions per second on a loop of arithmetic and
# an editor-function call.
add_executable(bench_interp ${CMAKE_SOURCE_DIR}/bench/interp_bench.cpp)
target_link_libraries(bench_interp PRIVATE commands benchmark::benchmark)
