#pragma once
// The dialogs of the document commands: the file-open dialog with its
// open-as choice, the window list, and the command lists that only this
// layer can build (style-sheet names, open windows); and the command that
// inserts the document's file name.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// Registers the list builders of 315 and 573 (style-sheet names) and 366
// (open windows), the editable-view test of the command lists, and binds
// K_InsertFilename. RemoveDocDialogs undoes it.
void InstallDocDialogs();
void RemoveDocDialogs();

// How the chosen files are opened: the engine's line-end parameter.
enum : int { QW_OPEN_AS_AUTO = 0, QW_OPEN_AS_DOS = 1, QW_OPEN_AS_UNIX = 2 };

// The file-open dialog. `names` receives every chosen path; `title_id` is
// the string of the caption; `format` (in: the current choice, out: the
// chosen one) the open-as choice; `ofn_flags` the common dialog's OFN_*
// flags; `dialog_flags` the caller's; `type` (optional, in/out) the list
// the dialog showed. Nonzero when the user accepted.
int Qw_DialogFileOpen(std::vector<std::string>* names, unsigned title_id, int reserved, int* format,
                      uint32_t ofn_flags, unsigned dialog_flags, int* type);

// The answer of the file-open dialog, replaceable (tests answer without a
// window): fills `names`, may change *format; nonzero when accepted.
using QwFileOpenPrompt = int (*)(std::vector<std::string>* names, const char* title, uint32_t ofn_flags,
                                 int* format);
// Installs a prompt (null: the real dialog); returns the previous one.
QwFileOpenPrompt SetFileOpenPrompt(QwFileOpenPrompt prompt);

// The visible document windows of the MDI client in z-order, with their
// titles (at most 260 characters).
struct QwListedWindow {
    HWND window;
    std::string title;
};
std::vector<QwListedWindow> ListDocumentWindows();

// Runs the window-list dialog modally over the main frame's document
// windows; its result (1 OK, 2 Cancel, -1 no dialog).
int ShowWindowListDialog(HWND frame);
