# Command lists and the dialogs whose lists they fill (under Wine).
if(NOT QW_HOST)
  qw_dialog_test(test_cmdlists RESOURCES dialogs/templates.rc dialogs/tables.rc strings_dialogs.rc
    strings_documents.rc)
endif()
