# Documents, language specifications, dictionaries and style sheets.
target_sources(editor PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/langspec.cpp
  ${CMAKE_CURRENT_LIST_DIR}/langdict.cpp
)
if(NOT QW_HOST)
  target_sources(editor PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/stylesheet.cpp
    ${CMAKE_CURRENT_LIST_DIR}/qwdoc.cpp
  )
endif()
