# Editing: the mark table, the editing engine and the selection (portable);
# the edit view and the clipboard (Windows).
target_sources(editor PRIVATE marks.cpp editops.cpp selection.cpp)
if(NOT QW_HOST)
  target_sources(editor PRIVATE editview.cpp editprograms.cpp clipboard.cpp dragdrop_win32.cpp)
  target_link_libraries(editor PUBLIC ole32 shell32 uuid)
endif()
