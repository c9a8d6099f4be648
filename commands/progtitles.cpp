// The catalogue of macro-program titles that the editor runs.
#include "commands/progtitles.h"

#include "commands/cmdtable.h"
#include "opsys/strlib.h"

namespace {

constexpr unsigned CES = QW_PRG_RUN_CES;

// Command titles are run by the executor as (title, flag, command id, 0,
// view, K_cmd_params of the command); their result is the command's result.
#define CMD_TITLE(t, flags, ids) \
    { t, flags, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND, "command " ids " (executor: id, 0, view, K_cmd_params)" }

const QwProgramTitle kTitles[] = {
    // The command table's titles.
    CMD_TITLE("OnHelpContents", CES, "301"),
    {"Qw_TextSel", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND,
     "commands 320, 382, 383, 455 Copy, 456 Cut, 457 Paste, 458-461 (id, 0, view, K_cmd_params); "
     "list builder for 380, 382-384, 459-461 (id, 8, list request record)"},
    CMD_TITLE("Properties", CES, "352"),
    {"TextBar", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND,
     "command 353; view mouse: text-bar click with command 684 (id, 0, view, K_cmd_params kind 5)"},
    CMD_TITLE("WindowScrollCmds", 0, "403-405, 428, 429"),
    {"SmartIndent", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_HANDLED,
     "commands 431, 432; the view's Enter (command, K_cmd_params): 1 handled, else the plain line split"},
    CMD_TITLE("EditCommands", CES, "446, 447, 462-464"),
    {"undo", 0, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND,
     "commands 450, 451; the undo step of a pattern replace (kind 7 record)"},
    CMD_TITLE("qwfilter", CES, "495, 565"),
    CMD_TITLE("FindAllReferences", CES, "505"),
    CMD_TITLE("func_np", CES, "506, 507"),
    CMD_TITLE("ObjectMatch", CES, "508"),
    {"locate", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND,
     "command 509; right button up on a view and on the status bar (684, 0, view, K_cmd_params kind 5, extra 4)"},
    {"IncludeFiles", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND,
     "commands 512, 513; open types 0x200/0x201 (K_cmd_params kind 7); list 513 (-2 without a view)"},
    {"IncludeSwap", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND,
     "command 514 (kind 7 from the project commands); 1 with the path written to the record"},
    CMD_TITLE("SourceDBLookup", CES, "515, 518"),
    {"BrowseFunctions", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND,
     "command 516 and its list; source-browser parser (1, id 100, argument 8, view of the file, parse "
     "record tagged 0x5F1967EA)"},
    CMD_TITLE("Function Select", CES, "517"),
    CMD_TITLE("BookmarkList", CES, "526"),
    {"template", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_HANDLED,
     "command 546; Space with template editing on (character, view): 1 consumed; punctuation with 599; "
     "template insertion (request with name and argument, 4096-byte area)"},
    CMD_TITLE("InsertStamp", CES, "548"),
    CMD_TITLE("CommentAlign", CES, "549"),
    {"para_rfm", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND,
     "commands 552, 553; automatic wrap after typing"},
    CMD_TITLE("DiffDialog", CES, "558"),
    {"DiffBrowser", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND,
     "commands 561, 562; match navigation 627/628/682/684 in a difference pane"},
    {"spell", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND, "command 564; spell-check requests"},
    {"LanguageSetup", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND, "command 571; list 571"},
    {"ConfigDlgSup", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND, "commands 572, 660-663; list 572"},
    {"StyleSheetMgmt", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND,
     "commands 573, 576-579, 581-583, 585-603, 605, 606 (dialog 2121); availability of 576, 585, 602 "
     "(1, id, argument 2): 1 available"},
    {"LanguageSel", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND, "commands 574, 575; list 574"},
    CMD_TITLE("QWProgramExecute", CES, "608"),
    CMD_TITLE("OSPrograms", CES, "609, 610"),
    CMD_TITLE("FolderChange", CES, "611"),
    CMD_TITLE("BuildSetup", CES, "612, 613, 615-621, 623-626"),
    {"ProgramErrors", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND,
     "command 622 and its list; match navigation 627/628/682/684 in a build output pane"},
    {"Config", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND,
     "commands 629, 631, 632, 641, 643, 644, 648, 649, 651, 654-657, 659, 669; list 632; "
     "mode 8 chooses the printer scheme"},

    // Titles run by other parts of the editor.
    {"qw_start.ces", CES, QW_PRG_REC_NONE, QW_PRG_RESULT_START,
     "start-up (1, id 1, argument 0, object 0, no record); printer schemes: mode 256 load by name, "
     "mode 16 restore, request record"},
    {"Key_Translate", CES, QW_PRG_REC_OTHER, QW_PRG_RESULT_OUTPUT,
     "key translation record (op, a, b, out): op 0 text to keys, 1 keys to text, 2/3 keyboard open"},
    {"key_asgn", CES, QW_PRG_REC_OTHER, QW_PRG_RESULT_IGNORED, "key assignment: op 1 or 2 with (a, b)"},
    {"OnKeyboardOpen", CES, QW_PRG_REC_OTHER, QW_PRG_RESULT_IGNORED,
     "keyboard-open hook (a, b, c); on saving the keyboard file"},
    {"Key_help", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_IGNORED,
     "key help (1, 307); registers itself as waiting for the next key"},
    {"MacroMgmt", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_IGNORED,
     "macro manager (1, 556, 0, macro manager object, K_cmd_params)"},
    {"ProgramRun", CES, QW_PRG_REC_NONE, QW_PRG_RESULT_IGNORED,
     "a finished child process with run flag 1 (1, 1, 0, output view)"},
    {"FindInFilesUI", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_COMMAND,
     "match navigation 627/628/682/684 in a find-in-files pane"},
    {"OnRClickSel", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_IGNORED,
     "right button up on a view with a selection"},
    {"WindowNew", CES, QW_PRG_REC_PARAMS, QW_PRG_RESULT_IGNORED,
     "right button up with the modifier state 4 when nothing is bound"},
    {"FindInFiles", CES, QW_PRG_REC_REQUEST, QW_PRG_RESULT_IGNORED,
     "worker thread (1, 497 or the requester's id, 32, view or none, request or none, view number); "
     "for 504 the request {0x5F1967EA, replace-in-files object}"},
    {"BookmarkAll", CES, QW_PRG_REC_REQUEST, QW_PRG_RESULT_IGNORED,
     "request (page, find text, dialect, flags, filter, scope 10/11, object)"},
    {"LanguageDefault", CES, QW_PRG_REC_NONE, QW_PRG_RESULT_IGNORED,
     "language defaults with the specification record's index; fills the default specification"},
};

#undef CMD_TITLE

} // namespace

const QwProgramTitle* QwProgramTitles(int* count) {
    if (count) *count = int(sizeof kTitles / sizeof kTitles[0]);
    return kTitles;
}

const QwProgramTitle* QwFindProgramTitle(const char* title) {
    if (!title) return nullptr;
    for (const QwProgramTitle& t : kTitles)
        if (StrEqualNoCase(t.title, title)) return &t;
    return nullptr;
}

const char* K_cmd_get_title(int id, int* run_flag) {
    const K_cmd_record* r = K_cmd_lookup(id);
    if (run_flag) *run_flag = 0;
    if (!r || !(r->attr & (K_ATTR_TITLE | K_ATTR_TITLE_FLAG0)) || !K_cmd_is_implemented(id) ||
        !r->handler.title)
        return nullptr;
    if (run_flag) *run_flag = (r->attr & K_ATTR_TITLE) ? 1 : 0;
    return r->handler.title;
}
