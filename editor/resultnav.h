#pragma once
// Going to what a line names: a result of a build or a search in one of the
// output pane's lists (double click, or the next and previous result
// commands), and the file or place at the caret of any view ("locate").
// The views' lists carry view flag 0x80 (build and debug output, walked by
// the program "ProgramErrors") or 0x100 (find and replace in files, walked
// by "FindInFilesUI"); the programs call back into the functions below.
#include <string>

class CQWTextView;
struct ResultRef;

// The full path of an existing file that `ref` names, looked for beside the
// view's document (when it has a folder) and then from the current folder;
// empty when there is none.
std::string ResolveResultPath(CQWTextView* from, const std::string& path);

// Opens the file at the place (activating an open copy) and gives its view
// the focus; 1 when the caret went to the line. A line past the end of the
// file leaves the caret on the last line and says so.
int GoToNamedPlace(CQWTextView* from, const ResultRef& ref);

// Line `line` of a list (0: the caret line): becomes the list's marked line
// and its place is gone to; 1 when it went, 0 (with a status message) when
// the line names no place or its file is missing.
int GoToResultLine(CQWTextView* list, int line);

// The next (dir > 0) or previous result after the list's marked line (the
// caret line when none is marked) that names an existing file: marked,
// shown and gone to. At either end a status message and 0.
int StepResult(CQWTextView* list, int dir);

// The place or file named at the caret: a reference on the caret line, an
// #include name, or a file name under the caret. 1 when a file opened.
int LocateAtCaret(CQWTextView* view);

// Match navigation (627 and 628 next and previous error, 682 and 684 the
// mouse in a list): runs the list's program with the command; from a view
// that is no list, the program of the list last walked, or "DiffBrowser"
// for a document under comparison. The program's result, 0 when none ran.
int MatchNavigation(CQWTextView* view, int id, void* params);

// The popup menu of OnRClickSel: lines "label\tcommand" and "-"; the command
// chosen (0 none). Items of commands that cannot run now are greyed.
int ShowCommandMenu(CQWTextView* view, const char* items);
// Tests answer the menu themselves: the chooser gets the menu's commands in
// order (0 for a separator) and returns the one chosen.
using CommandMenuChooser = int (*)(const int* ids, const int* enabled, int count);
void SetCommandMenuChooser(CommandMenuChooser chooser);

// Registers the handlers of 627, 628, 682 and 684 and the programs' view
// services.
void InstallResultNavigation();
