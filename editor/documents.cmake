# Documents, language specifications, dictionaries and style sheets.
target_sources(editor PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/langspec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/langdict.cpp
  ${CMAKE_CURRENT_LIST_DIR}/stylesheet.cpp
)
# The style-sheet file is a framework archive: the host build reads it with
# the portable archive classes (fuzzing, tests).
target_link_libraries(editor PUBLIC qwarchive)
if(NOT QW_HOST)
  target_sources(editor PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/qwdoc.cpp
  )
endif()
