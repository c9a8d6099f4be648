# The program itself, started as a user starts it, driven by posted input.
qw_test(test_e2e SOURCES ${CMAKE_CURRENT_LIST_DIR}/test_e2e.cpp LIBS LOCKS clipboard)
add_dependencies(test_e2e QW32 QWControls VoroSpell config_masters macros)
target_compile_definitions(test_e2e PRIVATE QW_BIN_DIR="${CMAKE_BINARY_DIR}/bin")
