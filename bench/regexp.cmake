# Regular-expression search speed beside std::regex and PCRE2 (interpreter).
find_package(PkgConfig)
if(PkgConfig_FOUND)
  pkg_check_modules(QW_PCRE2 IMPORTED_TARGET libpcre2-8)
endif()
add_executable(bench_regexp ${CMAKE_CURRENT_LIST_DIR}/regexp_bench.cpp)
target_link_libraries(bench_regexp PRIVATE regexp benchmark::benchmark)
if(QW_PCRE2_FOUND)
  target_link_libraries(bench_regexp PRIVATE PkgConfig::QW_PCRE2)
  target_compile_definitions(bench_regexp PRIVATE QW_HAVE_PCRE2=1)
endif()
# GCC 12 warns inside <regex> itself when it is built with sanitizers.
target_compile_options(bench_regexp PRIVATE -Wno-maybe-uninitialized)
