#include "shell/childframe.h"

FW_IMPLEMENT_DYNCREATE(CChildFrame, fw::MDIChildWindow)

bool CChildFrame::OnCreateClient(CREATESTRUCTA*, fw::CreateContext* context) {
    // Panes narrower or lower than a few cells are of no use to a text view.
    return splitter_.Create(hwnd(), 2, 2, SIZE{40, 30}, context);
}
