#pragma once
// The style-sheet setup commands 571 and 574..606: their values are fields of
// the style sheet being set up, which is the one named by the string value of
// 573 K_StyleSheetSetup when that names an existing style sheet, else the
// style sheet of the current view's document. Style sheets belong to the
// editor layer above; it installs K_stylesheet_ops, through which this layer
// reaches them. Without the ops (or without a style sheet) getting 574 or 575
// gives -2, every other field 0, and setting does nothing.

// Integer fields of a style sheet other than its flag array.
enum K_ss_field {
    K_SS_LANGUAGE_INDEX,        // 574
    K_SS_PARSER_TYPE,           // 575
    K_SS_LANGUAGE_OPTIONS,      // 576
    K_SS_COMMENT_COLUMN,        // 579
    K_SS_INDENT_HOW,            // 581
    K_SS_INDENT_SCAN,           // 583
    K_SS_INDENT_SIZE,           // 586
    K_SS_TAB_SIZE,              // 588
    K_SS_TEMPLATE_AFTER,        // 591
    K_SS_AUTOCORRECT_AFTER,     // 593
    K_SS_SMARTYPE_AFTER,        // 595
    K_SS_SDB_LOOKUP_AFTER,      // 597
    K_SS_RIGHT_MARGIN,          // 605
    K_SS_SDB_LOOKUP_ON_SPACE,   // 596 (1 or 0)
    K_SS_CASE_TRACK_FIRST,      // 600 (1 or 0)
    K_SS_PARAM_ASSIST_ON_EDIT,  // 602 (1 or 0)
};

// Text fields.
enum K_ss_text {
    K_SS_SETUP_TEXT,      // 571 (get): language and flavour display texts joined by a tab
    K_SS_LANGUAGE_TEXT,   // 574: language and flavour display text; setting it splits it
                          //      into language and flavour and finds the specification
    K_SS_LANGUAGE_NAME,   // 575: the language's display name
    K_SS_WORD_DELIMITERS, // 606
};

struct K_stylesheet_ops {
    // The style sheet of that name (blanks already trimmed), null when none.
    void* (*find)(const char* name);
    // The style sheet of the current view's document, null when none.
    void* (*current)();
    // The style sheet of the current editable view, null when none.
    void* (*current_editable)();
    // Its name into out (size bytes); nonzero on success.
    int (*get_name)(void* ss, char* out, int size);
    // Entry `index` of its flag array.
    int (*get_flag)(void* ss, int index);
    void (*set_flag)(void* ss, int index, int value);
    int (*get_field)(void* ss, K_ss_field field);
    void (*set_field)(void* ss, K_ss_field field, int value);
    // Text field into out (size bytes, terminated); nonzero when there is one.
    int (*get_text)(void* ss, K_ss_text field, char* out, int size);
    void (*set_text)(void* ss, K_ss_text field, const char* text);
    // The style sheet's own last-change test (603).
    int (*last_change)(void* ss);
    // Nonzero when its language has a parameter assistant.
    int (*has_param_assistant)(void* ss);
    // Checks its language: 0 good (the specification loaded when its index
    // was still unset), -2 the language name is unknown, -3 the flavour has
    // no language dictionary. With repair the fault is mended as well
    // (-2: language 21, flavour emptied, specification looked up again;
    // -3: flavour emptied, specification looked up by language).
    int (*check_language)(void* ss, int repair);
    // Refreshes the language data of the style sheets.
    void (*refresh_languages)();
    // Removes it from the style-sheet table; the result.
    int (*remove)(void* ss);
    // Gives it a new name.
    void (*set_name)(void* ss, const char* name);
    // Whether it takes part in file-name matching (1 or 0), and setting that.
    int (*get_associated)(void* ss);
    void (*set_associated)(void* ss, int value);
    // The first other associated style sheet that lists one of its
    // extensions, its name and that extension into the buffers (each
    // terminated); null when none.
    void* (*extension_conflict)(void* ss, char* other_name, int name_size, char* extension,
                                int extension_size);
    // Adds a copy of it under a unique form of the name; the copy, null
    // when it could not be made.
    void* (*make_unique)(void* ss, const char* name);
    // The setup dialog's style-sheet list (a control of count rows): the row
    // of a style sheet's name, -1 when none; and unchecking a row.
    int (*list_row)(void* list, int count, const char* name);
    void (*list_uncheck)(void* list, int row);
};
// Installs the ops (copied; null removes them).
void K_cmd_set_stylesheet_ops(const K_stylesheet_ops* ops);

// Sets up value 573 for the setup dialog and validates it (repairing).
int StyleSheetSetup_Begin(int report);
// Validates the style sheet of that name (blanks trimmed; null: value 573):
// -1 it does not exist, -2 its language is unknown, -3 its flavour has no
// language dictionary, else 0. With report each fault is shown in a warning
// box (caption 1074, texts 1075..1077).
int StyleSheetSetup_Validate(const char* name, int repair, int report);
// Applies the setup dialog's name and language to the style sheet being set
// up. rename 0: renames it, sets its language text and language and value
// 573, then settles each extension it shares with another associated style
// sheet by asking (caption 1081, text 1082): Yes takes the other one out of
// file-name matching and unchecks its row of the list, No takes this one out
// and unchecks the list's last row; a question that gets neither answer
// ends the asking and changes nothing more. rename 1: adds a copy under a
// unique form of the name. 1 when done; 0 for an empty name, without a
// style sheet, or when the copy could not be made.
int StyleSheetSetup_Apply(int rename, const char* name, const char* language_text, int language,
                          void* list, int count);
// Removes the style sheet being set up; the result, 0 without one.
int StyleSheetSetup_Delete();
// Sets value 573 to no string.
void StyleSheetSetup_Clear();

// Used by the command values.
bool StyleSheetSetup_IsField(int id);     // 574..606
bool StyleSheetSetup_HasText(int id);     // 571 and the fields with a text form
int StyleSheetSetup_GetInt(int id);
int StyleSheetSetup_SetInt(int id, int value);
char* StyleSheetSetup_GetText(int id, char* buffer, int size);
void StyleSheetSetup_SetText(int id, const char* text);
