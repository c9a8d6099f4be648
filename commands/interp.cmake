# The macro-program interpreter: machine, host, natives and key services
# (portable), built by both builds.
target_sources(commands PRIVATE
  interp_vm.cpp
  interp.cpp
  interp_keys.cpp
  interp_natives.cpp
  interp_thread.cpp
)
if(NOT QW_HOST)
  # Faults inside a run (or a native it calls) must unwind to the run's guard.
  set_source_files_properties(interp_vm.cpp interp_natives.cpp PROPERTIES COMPILE_OPTIONS -fnon-call-exceptions)
endif()
