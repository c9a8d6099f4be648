# Tests of moving around: the arithmetic (both builds) and the view's
# positioning, scrolling, mouse, view state, jump list, panes and text bar
# (Windows, under Wine).
qw_test(test_navcalc SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_navcalc.cpp LIBS editor)
if(NOT QW_HOST)
  qw_test(test_navigation SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_navigation.cpp
    LIBS editor qwframework)
endif()
