# Moving around: positioning, scrolling, mouse arithmetic, the jump list,
# snapshots, the text-bar layout and the document-event hooks (portable);
# the view's handlers, panes, the text bar's drawing and the application
# view (Windows).
target_sources(editor PRIVATE gotoline.cpp scrolling.cpp mouse.cpp jumplist.cpp snapshots.cpp
  textbar.cpp appview_table.cpp)
if(NOT QW_HOST)
  target_sources(editor PRIVATE gotoline_win.cpp scrolling_win.cpp mouse_win.cpp
    snapshots_win.cpp panes.cpp textbar_win.cpp appview.cpp)
endif()
