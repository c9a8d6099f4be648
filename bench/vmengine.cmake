# Buffer engine: positioning, reading and inserting in a 1,000,000-line buffer.
add_executable(bench_vmengine ${CMAKE_SOURCE_DIR}/bench/vmengine_bench.cpp)
target_link_libraries(bench_vmengine PRIVATE vmengine opsys benchmark::benchmark)
