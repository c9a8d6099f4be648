# Undo logs, lexical-state scan and line sort. The engine's own list may
# already name some of these files; each is added once.
include_guard(DIRECTORY)
get_target_property(_vmlex_have vmengine SOURCES)
foreach(f vmundo.cpp vmlex.cpp vmsort.cpp)
  if(NOT f IN_LIST _vmlex_have AND NOT ${CMAKE_CURRENT_LIST_DIR}/${f} IN_LIST _vmlex_have
     AND EXISTS ${CMAKE_CURRENT_LIST_DIR}/${f})
    target_sources(vmengine PRIVATE ${CMAKE_CURRENT_LIST_DIR}/${f})
  endif()
endforeach()
