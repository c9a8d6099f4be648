# Tests of going to what lines name: the reading of a line (both builds), and
# the lists, "locate" and the right-button programs with the compiled
# programs (Windows, under Wine).
qw_test(test_resultref SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_resultref.cpp LIBS editor)
if(NOT QW_HOST)
  qw_test(test_results
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_results.cpp ${CMAKE_CURRENT_LIST_DIR}/test_results.rc
      ${CMAKE_CURRENT_LIST_DIR}/doc_test_env.cpp ${CMAKE_SOURCE_DIR}/tests/Reu/reu_test_env.cpp
    LIBS editor)
  add_dependencies(test_results macros)
  target_compile_definitions(test_results PRIVATE QW_MACRO_DIR="${CMAKE_BINARY_DIR}/bin/SOURCE")
endif()
if(NOT QW_HOST)
  # windres does not follow the files the script includes.
  set_source_files_properties(${CMAKE_CURRENT_LIST_DIR}/test_results.rc PROPERTIES
    OBJECT_DEPENDS "${CMAKE_CURRENT_LIST_DIR}/test_lifecycle.rc;${CMAKE_SOURCE_DIR}/res/strings_navigation.rc")
endif()
