# The dialog engine: window-free rules everywhere, the windowed engine under
# Wine, and the control-table checker on the shipped and a broken source.
qw_test(test_dlgtable SOURCES test_dlgtable.cpp LIBS commands)
if(NOT QW_HOST)
  qw_dialog_test(test_dialogs RESOURCES dialogs/templates.rc dialogs/tables.rc strings_dialogs.rc)
else()
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_test(NAME dlgtables_check COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/gen_dlgtables.py --check)
  add_test(NAME dlgtables_rejects_broken COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/scripts/gen_dlgtables.py --check
    --source ${CMAKE_SOURCE_DIR}/tests/commands/data/dlg_bad_tables.txt --out ${CMAKE_CURRENT_BINARY_DIR}/unused.rc)
  # Every rule of the checker fires once on that source.
  set_tests_properties(dlgtables_rejects_broken PROPERTIES PASS_REGULAR_EXPRESSION
    "section 0x3 is not one known section bit.*key 999 is not in template 2300.*control 777 is not in template 2300.*control id 0 would end the table.*no template 4242")
endif()
if(NOT QW_HOST)
  qw_dialog_test(test_dlgcontrols EXTRA interp_test_support.cpp RESOURCES dialogs/sizegrip.bmp strings_dialogs.rc)
endif()
