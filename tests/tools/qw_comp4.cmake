qw_test(test_qw_comp4
  SOURCES test_qw_comp4.cpp ${CMAKE_SOURCE_DIR}/tests/commands/interp_test_support.cpp
  LIBS commands qwcomp)
add_dependencies(test_qw_comp4 macros qw_comp4)
target_compile_definitions(test_qw_comp4 PRIVATE
  QW_COMP4_EXE="$<TARGET_FILE:qw_comp4>"
  QW_MACRO_DIR="${CMAKE_BINARY_DIR}/bin/SOURCE"
  QW_KEYBOARD_FILE="${CMAKE_BINARY_DIR}/bin/CONFIG/Keyboard.xxx")
