set(_qw_keys_tests keys_fixture.cpp test_keys.cpp test_kbmacro.cpp interp_test_support.cpp)
if(NOT QW_HOST)
  list(APPEND _qw_keys_tests ${CMAKE_SOURCE_DIR}/res/strings_keys.rc)
endif()
qw_test(test_keys SOURCES ${_qw_keys_tests} LIBS commands)
add_dependencies(test_keys macros)
target_compile_definitions(test_keys PRIVATE
  QW_MACRO_DIR="${CMAKE_BINARY_DIR}/bin/SOURCE"
  QW_KEYBOARD_FILE="${CMAKE_BINARY_DIR}/bin/CONFIG/Keyboard.xxx")
