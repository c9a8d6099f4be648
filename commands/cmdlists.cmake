# Command lists (the lists dialogs and list controls show), stamp lists,
# buffer-name classification, and the dialogs' folder tree.
if(NOT QW_HOST)
  target_sources(commands PRIVATE cmdlists.cpp dlgfolders.cpp)
endif()
