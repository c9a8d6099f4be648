# Tests of the mark table and the editing engine (both builds).
qw_test(test_marks SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_marks.cpp LIBS editor)
qw_test(test_editops SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_editops.cpp LIBS editor)
