qw_test(test_interp
  SOURCES interp_test_support.cpp test_interp_vm.cpp test_interp_host.cpp
  LIBS commands)
if(NOT QW_HOST)
  # A test's editor function faults on purpose; the fault must unwind.
  set_source_files_properties(test_interp_host.cpp PROPERTIES COMPILE_OPTIONS -fnon-call-exceptions)
endif()
