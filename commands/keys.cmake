# Command execution, key bindings and translation, command sequences and
# keyboard macros (portable; the platform's keyboard calls in keytrans_win32).
target_sources(commands PRIVATE cmdexec.cpp keybind.cpp keytrans.cpp kbmacro.cpp cmdseq.cpp)
if(NOT QW_HOST)
  target_sources(commands PRIVATE keytrans_win32.cpp)
endif()
