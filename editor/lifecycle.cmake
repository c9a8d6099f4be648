# Document life cycle: saving and bookmarks, the document manager, the read
# thread, modes and locking, the file-information worker.
if(NOT QW_HOST)
  target_sources(editor PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/docsave.cpp
    ${CMAKE_CURRENT_LIST_DIR}/docmanager.cpp
    ${CMAKE_CURRENT_LIST_DIR}/docread.cpp
    ${CMAKE_CURRENT_LIST_DIR}/docmodes.cpp
    ${CMAKE_CURRENT_LIST_DIR}/fileinfo.cpp
  )
  target_link_libraries(editor PUBLIC QW::roaring QW::cryptopp)
endif()
