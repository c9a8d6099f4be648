qw_test(test_interp
  SOURCES interp_test_support.cpp test_interp_vm.cpp test_interp_host.cpp
  LIBS commands)
