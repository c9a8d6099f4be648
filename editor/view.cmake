# Text view: column mapping and the colour table (portable), row painting,
# the view-drawing thread, the view window and its redraw (Windows).
target_sources(editor PRIVATE colmap.cpp colortable.cpp)
if(NOT QW_HOST)
  target_sources(editor PRIVATE drawhelper.cpp viewdraw.cpp textview.cpp redraw.cpp)
  target_link_libraries(editor PUBLIC gdi32 user32)
endif()
