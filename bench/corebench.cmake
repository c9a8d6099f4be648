# Whole-process runs of single engine operations, timed by
# scripts/bench-core.sh beside grep-like and sort-like tools.
add_executable(qw_corebench ${CMAKE_CURRENT_LIST_DIR}/corebench.cpp)
target_link_libraries(qw_corebench PRIVATE vmengine regexp opsys)
