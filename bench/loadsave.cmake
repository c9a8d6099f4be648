# Loading and saving a large file (host build; configure a separate build
# with -DQW_SANITIZE=OFF -DCMAKE_BUILD_TYPE=Release for meaningful numbers).
# Run: bench_loadsave [bytes] [folder]  (default 1 GB in the temp folder).
add_executable(bench_loadsave ${CMAKE_CURRENT_LIST_DIR}/loadsave_bench.cpp)
target_link_libraries(bench_loadsave PRIVATE vmengine opsys)
