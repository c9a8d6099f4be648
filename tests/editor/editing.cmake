# Tests of the mark table and the editing engine (both builds).
qw_test(test_marks SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_marks.cpp LIBS editor)
qw_test(test_editops SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_editops.cpp LIBS editor)
# The editing programs on an edit view of a document, run through the
# command layer (Windows, under Wine).
if(NOT QW_HOST)
  qw_test(test_editprograms
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_editprograms.cpp
            ${CMAKE_SOURCE_DIR}/tests/commands/interp_test_support.cpp
    LIBS editor qwframework commands
    LOCKS clipboard)
  add_dependencies(test_editprograms macros)
  target_compile_definitions(test_editprograms PRIVATE QW_MACRO_DIR="${CMAKE_BINARY_DIR}/bin/SOURCE")
endif()
