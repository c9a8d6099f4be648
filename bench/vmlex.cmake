# Lexical-state scan over a large C-like buffer (host build).
if(TARGET vmengine)
  add_executable(bench_vmlex ${CMAKE_SOURCE_DIR}/bench/vmlex_bench.cpp
                             ${CMAKE_SOURCE_DIR}/tests/VmEngine/test_lex_lang.cpp)
  target_link_libraries(bench_vmlex PRIVATE vmengine opsys benchmark::benchmark)
endif()
