# The syntax-colouring lexer (portable: builds and tests on the host too).
target_sources(editor PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/lexer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lexword.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lexdelim.cpp
  ${CMAKE_CURRENT_LIST_DIR}/lexnum.cpp
)
