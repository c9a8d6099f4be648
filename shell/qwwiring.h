#pragma once
// The seams between the editor's pieces, connected for the running program:
// the command executor's view hooks, the application view's command hooks,
// the document manager's and the document's services, the frame's open
// requests, and the editing and movement commands. Start-up installs them
// once the main frame exists; exit removes them before the editor services
// stop.
#include <string>

class CQWTextView;
class CQWDoc;
struct QwStatusViewInfo;
namespace fw { class FrameWindow; }

void QwInstallEditorWiring();
void QwRemoveEditorWiring();

// What the wiring takes from the shell's message side (the do-not-ask-again
// questions, the output pane); set before start-up, each may be null.
struct QwWiringOutlets {
    int (*ask)(const char* name, unsigned string_id) = nullptr;
    int (*ask_named)(const char* key, const char* caption, const char* text) = nullptr;
    void (*show_output)(int how) = nullptr;
    void (*activate_output)(int tab) = nullptr;
};
void QwSetWiringOutlets(const QwWiringOutlets& outlets);
// The message side's outlets (qwwiring_output.cpp).
QwWiringOutlets QwOutputWiringOutlets();

// The view that keys and commands go to now, its document and its frame;
// every member is null when no document window is active.
struct QwActiveView {
    CQWTextView* view = nullptr;
    CQWDoc* doc = nullptr;
    fw::FrameWindow* frame = nullptr;
};
QwActiveView QwActiveViewInfo();

// Fills the status bar's view panes from the active view; false without one.
bool QwStatusViewInfoOfActiveView(QwStatusViewInfo* info);
