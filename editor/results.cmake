# Going to what lines name: results of builds and searches, and "locate"
# (the reading of a line is portable; the rest is Windows).
target_sources(editor PRIVATE resultref.cpp)
if(NOT QW_HOST)
  target_sources(editor PRIVATE resultnav.cpp)
endif()
