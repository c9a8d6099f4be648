# qw_test(<name> SOURCES <files...> [LIBS <targets...>])
#
# One GoogleTest executable per module, discovered by ctest. In the Windows
# build ctest runs it through the Wine wrapper (CMAKE_CROSSCOMPILING_EMULATOR);
# discovery happens when the tests run, so building never waits on Wine.
# LOCKS names shared resources (such as the system clipboard, one for the
# whole Wine session) that tests of other programs must not use meanwhile.
function(qw_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LOCKS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} qw_testsupport GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE
    QW_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data")
  if(T_LOCKS)
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
      PROPERTIES TIMEOUT 300 RESOURCE_LOCK "${T_LOCKS}")
  else()
    gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
      PROPERTIES TIMEOUT 300)
  endif()
endfunction()

# qw_core_library(<name> SOURCES <portable files...> [WIN32_SOURCES <files...>]
#                 [POSIX_SOURCES <files...>] [LIBS <targets...>])
#
# A static library of the portable core: the same sources in both builds,
# with the operating-system side chosen per build.
function(qw_core_library name)
  cmake_parse_arguments(L "" "" "SOURCES;WIN32_SOURCES;POSIX_SOURCES;LIBS" ${ARGN})
  set(srcs ${L_SOURCES})
  if(QW_HOST)
    list(APPEND srcs ${L_POSIX_SOURCES})
  else()
    list(APPEND srcs ${L_WIN32_SOURCES})
  endif()
  add_library(${name} STATIC ${srcs})
  if(L_LIBS)
    target_link_libraries(${name} PUBLIC ${L_LIBS})
  endif()
endfunction()
