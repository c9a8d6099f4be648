# The command table, command values, style-sheet setup values and the
# catalogue of macro-program titles. The table's data is generated from
# cmdtable.def; the generator also checks that the string table and the
# command dictionary made from the same file are current.
find_package(Python3 REQUIRED COMPONENTS Interpreter)
set(_qw_cmd_gen ${CMAKE_SOURCE_DIR}/scripts/gen_cmdtable.py)
set(_qw_cmd_inc ${CMAKE_CURRENT_BINARY_DIR}/generated/commands/cmdtable_data.inc)
add_custom_command(OUTPUT ${_qw_cmd_inc}
  COMMAND ${Python3_EXECUTABLE} ${_qw_cmd_gen} --check --inc ${_qw_cmd_inc}
  DEPENDS ${_qw_cmd_gen} ${CMAKE_CURRENT_SOURCE_DIR}/cmdtable.def
          ${CMAKE_SOURCE_DIR}/res/strings_cmdtable.rc ${CMAKE_SOURCE_DIR}/config/lang_qwk.xxx
  COMMENT "Generating the command table"
  VERBATIM)
target_sources(commands PRIVATE
  cmdtable.cpp cmdvalues.cpp cmdstylesheet.cpp progtitles.cpp ${_qw_cmd_inc})
target_include_directories(commands PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/generated)
if(NOT QW_HOST)
  target_sources(commands PRIVATE cmdprofile_win32.cpp)
endif()
