# Command lists and the dialogs whose lists they fill (under Wine).
if(NOT QW_HOST)
  qw_test(test_cmdlists SOURCES test_cmdlists.cpp test_cmdlists.rc LIBS commands comctl32)
  set_source_files_properties(test_cmdlists.rc PROPERTIES OBJECT_DEPENDS
    "${CMAKE_SOURCE_DIR}/res/dialogs/templates.rc;${CMAKE_SOURCE_DIR}/res/dialogs/tables.rc;${CMAKE_SOURCE_DIR}/res/strings_dialogs.rc;${CMAKE_SOURCE_DIR}/res/strings_documents.rc")
  target_include_directories(test_cmdlists PRIVATE ${CMAKE_SOURCE_DIR})
endif()
