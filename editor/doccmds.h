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

// The file-open prompt: fills `names` with the chosen paths and answers
// nonzero when the user accepted. `flags` are the common dialog's OFN_*
// flags. The default runs the common Open dialog; tests put their own.
using DocOpenPrompt = int (*)(std::vector<std::string>* names, const char* title, uint32_t flags);
// Installs a prompt (null: the common dialog); returns the previous one.
DocOpenPrompt SetDocOpenPrompt(DocOpenPrompt prompt);
// The common Open dialog (explorer style, several files when the flags ask).
int CommonOpenDialog(std::vector<std::string>* names, const char* title, uint32_t flags);

// Asks for files and opens each with the open mode (K_FileOpen, K_FileView,
// K_FileFavorites). The number of files opened, -1 when the user cancelled.
int OpenFilesFromDialog(int command, uint32_t open_mode, unsigned dialog_flags);

// A new document with a style sheet: the one the command's text names when
// it exists, else the active document's. The new document, or null.
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
