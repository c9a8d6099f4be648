# Editing: the mark table, the editing engine and the selection (portable);
# the edit view, the clipboard and drag and drop (Windows).
target_sources(editor PRIVATE marks.cpp editops.cpp selection.cpp)
