# The dialog engine: control tables and the window-free rules (portable),
# the engine, its host window, the entry and the modeless registry (Win32).
target_sources(commands PRIVATE dlgtable.cpp)
if(NOT QW_HOST)
  target_sources(commands PRIVATE dlgengine.cpp dlgcontrols.cpp dlgentry.cpp dlgthreads.cpp dlgtabs.cpp)
  target_link_libraries(commands PUBLIC qwtabs)
endif()
