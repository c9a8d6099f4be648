# Host build of the portable core. The test build runs everything under
# ASan and UBSan; benchmarks use a second host build with QW_SANITIZE=OFF.
option(QW_SANITIZE "Build the host core with address and undefined-behaviour sanitizers" ON)
if(QW_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
add_compile_definitions(QW_HOST_BUILD=1)
find_package(Threads REQUIRED)
link_libraries(Threads::Threads)
