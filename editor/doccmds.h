#pragma once
// The file commands of the command table: new, open, view, save, save as,
// save and close, save all, close, exit, and the window commands that work
// on documents (close all, window list). InstallDocCommands binds them to
// their command slots once at start-up; RemoveDocCommands unbinds them.
//
// Commands that name a view work on that view's document; the others on
// every document of the text template.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct K_cmd_params;
class CQWDoc;
namespace fw { class View; }

void InstallDocCommands();
void RemoveDocCommands();

// The main window the file and window commands act on (the shell's outlet,
// else the application's), and its MDI client; null when there is none.
HWND CommandMainWindow();
HWND CommandMdiClient();

// Asks for files (Qw_DialogFileOpen) and opens each with the open mode
// (K_FileOpen, K_FileView, K_FileFavorites); the open-as choice becomes the
// engine's line-end parameter. `type` (optional) goes to the dialog and back.
// The number of files opened, -1 when the user cancelled.
int OpenFilesFromDialog(int command, uint32_t open_mode, unsigned dialog_flags, int* type = nullptr);

// A new document with the style sheet chosen in the new-document dialog
// (its list offers the active document's sheet first; a parameter text
// answers it). The new document, or null when the dialog was cancelled.
CQWDoc* NewDocumentWithStyleSheet(K_cmd_params* params);

// Another window on the document of an editor view ("Attach it to a new
// window", K_WindowNew): 1 when a window was made.
int OpenNewWindowForView(fw::View* view);

// The document view a command's parameters point at, else (no view given)
// the active view of the active document window. Null when the given view
// is not a document's (the output pane's, say).
fw::View* CommandView(K_cmd_params* params);
// The editor document of that view (or of the active document window).
CQWDoc* CommandDocument(K_cmd_params* params);

// The window-list dialog, when the shell has one (K_WindowList without a
// window handle); null: none.
void SetWindowListDialog(int (*run)());
