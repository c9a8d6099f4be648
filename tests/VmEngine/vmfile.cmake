# Tests of the page cache and swap file, the buffered file stream, and
# loading and saving buffers.
qw_test(test_vmfile
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/test_bufstream_layer.h
    ${CMAKE_CURRENT_LIST_DIR}/test_bufstream.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_pagecache.cpp
    ${CMAKE_CURRENT_LIST_DIR}/test_loadsave.cpp
  LIBS vmengine opsys
)
