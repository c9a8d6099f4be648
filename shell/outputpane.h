#pragma once
// The output and results pane: seven fixed tabs (0 "Build", 1 "Debug", 2-4
// "Find in Files 1-3", 5 "Replace in Files", 6 "Find in SDB") that tools,
// searches and programs write into, from the user-interface thread or from
// worker threads. A worker claims a text tab, prints into it and releases
// it. Work that touches windows is carried to the user-interface thread
// (0x46E to the main frame, lParam 1 tab request, 2 show request); a worker
// itself only appends to the tab's buffer and tells the view by a post.
#include <windows.h>

#include <cstdint>
#include <string>

struct VMB;

enum : int { kOutputTabCount = 7, kOutputBrowseTab = 6 };

// The records carried to the user-interface thread.
struct OutputTabRequest {
    int32_t kind, tab, reset;
    intptr_t result;
    DWORD requester;  // the worker's thread id
};
struct OutputShowRequest {
    int32_t show, activate, tab, delay;
};

// Tab request kinds: 1 get and claim, 2 get, 3 release, 4 does the pane
// exist, 5 is the tab held, 6 find only, 7 clear. The result is the tab's
// view window (kind 4: 1 or 0), 0 when not available.
intptr_t Output_OpenTab(int kind, int tab, int reset);
// Writes one line (null text clears the tab); the view or 0.
intptr_t Output_Print(const char* text, int tab, int create, int show);
// Appends a line to a tab's buffer and tells its view; 1 when the view
// followed the end of the output. Any thread.
int Output_AppendLine(int tab, const char* text);
void Output_Show(int show, int activate, int tab, int delay);
void Output_ShowPane(int show, int activate);
bool HasOutputView();
bool Output_IsVisible();
void Output_CloseAll();

// The pane (the tab window with the seven tabs) and what it answers.
HWND Output_PaneWindow();
int Output_GetTabCount();
int Output_GetActiveTab();
void Output_SelectTab(int index);
HWND Output_GetTabWnd(int index, int* label_id);
int Output_FindTabByLabel(int label_id);
VMB* Output_GetTabBuffer(int index);
DWORD Output_GetTabOwner(int index);
// 1 and the lowest text tab held by a task, 0 when none.
int Output_FindBusyTab(int* index);
// Whether the pane may close: asks (string 646) for a tab held by a task;
// `exiting` 1 when the main frame closes.
int Output_CloseTabDocument(int exiting);

// The main frame's seams: carries out a worker's request (0x46E lParam 1
// or 2) on the user-interface thread; creates the pane in `parent`.
intptr_t QwOutputServe(int kind, void* record, void* thread);
bool QwCreateOutputPane(HWND parent);
void QwDestroyOutputPane();
// The message function's outlet (QwShellOutlets::output_print).
void QwOutputPrintOutlet(const char* text, int kind, int show_pane, int flag1000);

// What the frame and the views supply: the host bar's visibility and the
// tab views. Until the shell installs create_view, a plain stand-in view
// shows the tab's buffer.
struct QwOutputHooks {
    void (*show_host)(bool show, int delay) = nullptr;
    bool (*host_visible)() = nullptr;
    HWND (*create_view)(HWND parent, VMB* buffer, const char* label, unsigned view_flag) = nullptr;
    // Asks whether to stop a task's tab (Yes = 1); null: the store's box.
    int (*ask_stop)(const char* label) = nullptr;
    void (*stop_task)(DWORD thread_id) = nullptr;
};
void QwSetOutputHooks(const QwOutputHooks& hooks);
// How long a worker waits for the user-interface thread (10000 ms).
void QwSetOutputRequestTimeout(DWORD ms);

// A tab's view hears that its buffer changed by the view's UWM_VIEW_ACTION
// (wParam 1, lParam 8: lines were appended).
