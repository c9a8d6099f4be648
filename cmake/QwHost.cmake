# Host build of the portable core. The test build runs everything under
# ASan and UBSan; benchmarks use a second host build with QW_SANITIZE=OFF.
option(QW_SANITIZE "Build the host core with address and undefined-behaviour sanitizers" ON)
if(QW_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
# The fuzz build (scripts/fuzz.sh, clang only) instruments every library
# for libFuzzer's coverage feedback; tests/fuzz links the targets.
option(QW_FUZZ "Build the fuzz targets of tests/fuzz (clang, libFuzzer)" OFF)
if(QW_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
add_compile_definitions(QW_HOST_BUILD=1)
find_package(Threads REQUIRED)
link_libraries(Threads::Threads)
