qw_test(test_shell_status
  SOURCES test_cmdline.cpp test_dnaa.cpp test_nbmsgbox.cpp test_outputpane.cpp test_statusbar.cpp test_status.rc
  LIBS qwstatus)
target_compile_definitions(test_shell_status PRIVATE QW_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
