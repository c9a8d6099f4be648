# Key-to-command dispatch through the translator and the binding matcher.
add_executable(bench_keys ${CMAKE_CURRENT_LIST_DIR}/keys_bench.cpp)
target_link_libraries(bench_keys PRIVATE commands benchmark::benchmark)
