// Frame activation, pane commands and the view handlers of the movement,
// scrolling, jump-list and line-bookmark commands.
#include "editor/panes.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <initializer_list>
#include <map>

#include "Reu/thread.h"
#include "VmEngine/vm.h"
#include "commands/cmdexec.h"
#include "commands/cmdtable.h"
#include "commands/interp.h"
#include "editor/appview_table.h"
#include "editor/gotoline.h"
#include "editor/jumplist.h"
#include "editor/mouse.h"
#include "editor/qwdoc.h"
#include "editor/resultnav.h"
#include "editor/scrolling.h"
#include "editor/snapshots.h"
#include "editor/textview.h"
#include "framework/fwframe.h"
#include "framework/fwsplitter.h"
#include "opsys/msgout.h"

namespace {

GoToLinePromptFn g_prompt = nullptr;

CQWTextView* View(void* v) { return static_cast<CQWTextView*>(v); }

fw::SplitterWindow* SplitterOf(CQWTextView* v) {
    if (!v || !v->hwnd())
        return nullptr;
    return fw::DynamicDowncast<fw::SplitterWindow>(
        fw::Window::FromHandlePermanent(::GetParent(v->hwnd())));
}

bool Editable(CQWTextView* v) { return v && v->ViewFlags(-1, QW_VF_EDITABLE) != 0; }

// ---- Caret moves ----------------------------------------------------------------

// Starts (when there is none) or extends a selection around a move.
struct ExtendScope {
    CQWTextView* v;
    bool on;
    ExtendScope(CQWTextView* view, bool extend) : v(view), on(extend) {
        if (on && !v->HasSelection())
            v->MouseSelection(0, 3);
    }
    ~ExtendScope() {
        if (on)
            v->MouseSelection(2, 3);
    }
};

int LineLength(CQWTextView* v, int line) {
    return v->GetBuffer() ? std::max(vm_line_length(v->GetBuffer(), line), 0) : 0;
}

std::string LineText(CQWTextView* v, int line) {
    char text[QW_MAX_COLUMNS + 1];
    int n;
    {
        VmGuard g;
        n = v->GetBuffer() ? vm_read_text(v->GetBuffer(), line, 0, text, QW_MAX_COLUMNS, nullptr)
                           : 0;
    }
    return std::string(text, size_t(std::max(n, 0)));
}

int MoveLines(CQWTextView* v, int delta, bool extend) {
    int64_t target = int64_t(v->GetCurLine()) + delta;
    int count = v->GetLineCount();
    if (!vm_is_fully_read(v->GetBuffer()) && target > count) {
        VmGuard g;
        vm_read_lines(v->GetBuffer(), uint32_t(target));
        count = v->GetLineCount();
    }
    target = std::clamp<int64_t>(target, 1, std::max(count, 1));
    if (target == v->GetCurLine())
        return 0;
    ExtendScope scope(v, extend);
    return v->GoToLine(int(target), 0, 0, QW_GL_REMEMBERED_COL);
}

int Page(CQWTextView* v, bool down, bool extend) {
    int rows = int(v->GetLinesInWindow());
    int page = std::max(rows - GetPageOverlap(), 1);
    int count = v->GetLineCount();
    int64_t row = int64_t(v->GetCurLine()) - int64_t(v->GetTopLine());
    int64_t caret = int64_t(v->GetCurLine()) + (down ? page : -page);
    if (down && !vm_is_fully_read(v->GetBuffer())) {
        VmGuard g;
        vm_read_lines(v->GetBuffer(), uint32_t(caret + rows));
        count = v->GetLineCount();
    }
    caret = std::clamp<int64_t>(caret, 1, std::max(count, 1));
    if (caret == v->GetCurLine())
        return 0;
    ExtendScope scope(v, extend);
    // The caret keeps its row where the window can follow.
    int64_t top = std::max<int64_t>(caret - row, 1);
    v->ScrollTopTo(uint32_t(top));
    return v->GoToLine(int(caret), 0, 0, QW_GL_REMEMBERED_COL);
}

int ToColumn(CQWTextView* v, int col, bool extend) {
    ExtendScope scope(v, extend);
    v->GoToLine(int(v->GetCurLine()), col, 0, 0);
    v->RememberColumn();
    return 1;
}

int DocumentEdge(CQWTextView* v, bool end, bool extend) {
    VMB* b = v->GetBuffer();
    if (!b)
        return 0;
    if (end && !vm_is_fully_read(b)) {
        VmGuard g;
        vm_read_lines(b, 0x7FFFFFFF);
    }
    ExtendScope scope(v, extend);
    int line = end ? std::max(v->GetLineCount(), 1) : 1;
    int r = v->GoToLine(line, end ? LineLength(v, line) : 0, 1, 0);
    v->RememberColumn();
    return r;
}

int Word(CQWTextView* v, bool right, bool extend) {
    int line = int(v->GetCurLine());
    std::string t = LineText(v, line);
    int col = int(v->GetCurColumn());
    int to = right ? WordRightColumn(t.data(), int(t.size()), col, nullptr)
                   : WordLeftColumn(t.data(), int(t.size()), col, nullptr);
    ExtendScope scope(v, extend);
    if (to >= 0)
        return v->GoToLine(line, to, 0, QW_GL_REMEMBER_COL);
    if (right && line < v->GetLineCount())
        return v->GoToLine(line + 1, 0, 0, QW_GL_REMEMBER_COL);
    if (!right && line > 1)
        return v->GoToLine(line - 1, LineLength(v, line - 1), 0, QW_GL_REMEMBER_COL);
    return 0;
}

// ---- Command handlers (view, id or extend flag, params) -----------------------------

int H_Move(void* pv, int id, K_cmd_params*) {
    CQWTextView* v = View(pv);
    if (!v || !v->GetBuffer())
        return 0;
    switch (id) {
    case 385: case 386: return DocumentEdge(v, false, id == 386);
    case 387: case 388: return DocumentEdge(v, true, id == 388);
    case 391: case 392: return Page(v, true, id == 392);
    case 393: case 394: return Page(v, false, id == 394);
    case 395: return v->WindowScrollKeepRow(true);
    case 396: return v->WindowScrollKeepRow(false);
    case 397: return v->ScrollLineLater(0);
    case 398: return v->ScrollLineEarlier(0);
    case 399: return v->ScrollColumns(-std::max<int>(int(v->GetVisibleColumns()) / 3, 1));
    case 400: return v->ScrollColumns(std::max<int>(int(v->GetVisibleColumns()) / 3, 1));
    case 401: return v->ScrollColumns(-1);
    case 402: return v->ScrollColumns(1);
    case 406: case 407: return MoveLines(v, -1, id == 407);
    case 408: case 409: return MoveLines(v, 1, id == 409);
    case 410: case 411: {
        ExtendScope s(v, id == 411);
        bool r = v->CaretLeft(true);
        v->GoToLine(int(v->GetCurLine()), int(v->GetCurColumn()), 0, QW_GL_REMEMBER_COL);
        return r ? 1 : 0;
    }
    case 412: case 413: {
        ExtendScope s(v, id == 413);
        bool r = v->CaretRight(true);
        v->GoToLine(int(v->GetCurLine()), int(v->GetCurColumn()), 0, QW_GL_REMEMBER_COL);
        return r ? 1 : 0;
    }
    case 414: case 415: return ToColumn(v, 0, id == 415);
    case 416: case 417: return ToColumn(v, LineLength(v, int(v->GetCurLine())), id == 417);
    case 418: {
        std::string t = LineText(v, int(v->GetCurLine()));
        size_t i = t.find_first_not_of(" \t");
        return ToColumn(v, i == std::string::npos ? 0 : int(i), false);
    }
    case 419: {
        std::string t = LineText(v, int(v->GetCurLine()));
        size_t i = t.find_last_not_of(" \t");
        return ToColumn(v, i == std::string::npos ? 0 : int(i), false);
    }
    case 420:
        return v->GoToLine(int(v->GetTopLine()), 0, 0, QW_GL_REMEMBERED_COL);
    case 421: {
        int64_t last = int64_t(v->GetTopLine()) + std::max<int>(int(v->GetLinesInWindow()) - 1, 0);
        last = std::min<int64_t>(last, std::max(v->GetLineCount(), 1));
        return v->GoToLine(int(last), 0, 0, QW_GL_REMEMBERED_COL);
    }
    case 422: case 423: return Word(v, false, id == 423);
    case 424: case 425: return Word(v, true, id == 425);
    case 426: {
        std::string t = LineText(v, int(v->GetCurLine()));
        int a = 0, b = 0;
        if (!WordBoundsAt(t.data(), int(t.size()), int(v->GetCurColumn()), nullptr, &a, &b))
            return 0;
        return ToColumn(v, a, false);
    }
    case 427: {
        std::string t = LineText(v, int(v->GetCurLine()));
        int a = 0, b = 0;
        if (!WordBoundsAt(t.data(), int(t.size()), int(v->GetCurColumn()), nullptr, &a, &b))
            return 0;
        return ToColumn(v, b, false);
    }
    default:
        return 0;
    }
}

int H_GoToLine(void* pv, int id, K_cmd_params* p) {
    CQWTextView* v = View(pv);
    if (!v || !v->GetBuffer())
        return 0;
    char text[64] = {};
    if (p && K_cmd_params_has_string(p)) {
        K_cmd_params_copy_string(p, text, int(sizeof text));
    } else {
        static char last[64] = "";
        if (!g_prompt || g_prompt(id, last, text, int(sizeof text)) != 1)
            return 0;
        memcpy(last, text, sizeof last);
    }
    bool extend = GetKeyState(VK_SHIFT) < 0;
    return GoToLineFromText(v, text, id == 390, extend);
}

int H_GoToColumn(void* pv, int, K_cmd_params* p) {
    CQWTextView* v = View(pv);
    if (!v || !v->GetBuffer())
        return 0;
    char text[32] = {};
    static char last[32] = "";
    if (p && K_cmd_params_has_string(p))
        K_cmd_params_copy_string(p, text, int(sizeof text));
    else if (!g_prompt || g_prompt(430, last, text, int(sizeof text)) != 1)
        return 0;
    char* end = nullptr;
    long col = strtol(text, &end, 10);
    if (!end || end == text || *end || col < 1 || col > long(QW_MAX_COLUMNS))
        return 0; // the column range is 1 to 4096
    memcpy(last, text, sizeof last);
    v->GoToLine(int(v->GetCurLine()), int(col), 0, QW_GL_DISPLAY_COLUMN | QW_GL_REMEMBER_COL);
    return 1;
}

int H_Jump(void*, int id, K_cmd_params*) {
    return id == 510 ? JumpListGoBack() : JumpListGoForward();
}

int H_Pane(void* pv, int id, K_cmd_params*) { return PaneCommand(View(pv), id); }

int H_LineBookmark(void* pv, int id, K_cmd_params* p) {
    CQWTextView* v = View(pv);
    VMB* b = v ? v->GetBuffer() : nullptr;
    if (!b)
        return 0;
    const int line = int(v->GetCurLine());
    bool repaint = (TextBarFlags(-1, 0x11) == 0x11);
    switch (id) {
    case 522: {
        int onoff = p ? K_cmd_params_get_onoff(p) : -1;
        int op = onoff == 2 ? 1 : onoff == 1 ? 0 : (vm_line_flags(b, line, -1, 0x4) ? 0 : 1);
        vm_line_flags(b, line, op, 0x4);
        break;
    }
    case 525: {
        int count = v->GetLineCount();
        if (count > 0)
            vm_line_flags_range(b, 1, count, 0, 0x4, 0);
        break;
    }
    case 523:
    case 524: {
        int found = vm_find_flagged_line(b, line, id == 523 ? 1 : 0, 1, 0x4, 0x4);
        if (found <= 0) {
            MsgOutId(518, 61);
            return 0;
        }
        if (found == line) {
            MsgOutId(518, 62);
            return 0;
        }
        AddToJumpList(v);
        return v->GoToLine(found, 0, 1, 0x3);
    }
    default:
        return 0;
    }
    if (repaint)
        v->RedrawWindowLines();
    return 1;
}

// ---- Jump-list calls for text views ------------------------------------------------

bool JlIsWindow(void* pv) {
    auto* v = View(pv);
    return v && v->hwnd() && IsWindow(v->hwnd()) && !v->IsClosing();
}
void* JlCurrent() { return GetCurrentTextView(); }
bool JlEditable(void* pv) { return Editable(View(pv)); }
bool JlRead(void* pv, JumpPosition* pos, std::string* path) {
    auto* v = View(pv);
    if (!v)
        return false;
    CViewSnapshot s = v->TakeSnapshot();
    pos->top_line = s.top_line();
    pos->caret_line = s.caret_line();
    pos->caret_col = s.caret_col();
    pos->caret_dcol = int32_t(v->GetDisplayColumn());
    pos->bar_width = s.bar_width();
    pos->first_col = s.first_col();
    pos->caret_x = s.cell_col();
    pos->caret_y = s.cell_row();
    pos->remembered_col = s.remembered_col();
    auto* doc = fw::DynamicDowncast<CQWDoc>(v->GetDocument());
    path->assign(doc ? doc->GetPathName() : "");
    return true;
}
void JlActivate(void* pv) {
    auto* v = View(pv);
    ActivateViewFrame(v, true, 0);
    v->RedrawWindowLines();
}
int JlApply(void* pv, const JumpPosition& p) {
    auto* v = View(pv);
    VMB* b = v->GetBuffer();
    if (!b)
        return 0;
    int tag;
    {
        VmGuard g;
        tag = p.caret_line <= v->GetLineCount() ? vm_line_tag(b, p.caret_line, -1, 0) : -1;
    }
    if (tag == p.caret_line) {
        // Nothing moved above it: the recorded window comes back as it was.
        v->ScrollTopTo(uint32_t(std::max(p.top_line, 1)));
        v->SetFirstVisibleColumn(uint32_t(std::max(p.first_col, 0)));
        v->GoToLine(p.caret_line, p.caret_col, 0, 0);
        return 1;
    }
    if (v->GoToLine(p.caret_line, p.caret_dcol, 1,
                    QW_GL_ORIGINAL_LINE | QW_GL_DISPLAY_COLUMN | QW_GL_AVOID_COVERED))
        return 1;
    // The line is gone (or cannot be told apart): the caret goes as near
    // as the buffer now allows, and the user hears why.
    int last = std::max(v->GetLineCount(), 1);
    v->GoToLine(std::clamp(p.caret_line, 1, last), p.caret_dcol, 1, QW_GL_DISPLAY_COLUMN);
    MsgOut(522, "This file has been edited and the original line could not be located%b");
    return 0;
}
// What programs ask of the view they run on (View_Call).
int ViewCall(void* pv, int op, int a, int) {
    auto* v = View(pv);
    if (v && !v->GetBuffer())
        v->SyncSourceWithDocument(); // made before its document had a buffer
    if (!v || !v->GetBuffer())
        return -1;
    if (op == 1) {
        if (a < 0 || a > 2)
            return 0;
        int rows = int(v->GetLinesInWindow());
        int64_t top = int64_t(v->GetCurLine()) - (a == 0 ? 0 : a == 1 ? rows / 2 : rows - 1);
        v->ScrollTopTo(uint32_t(std::max<int64_t>(top, 1)));
        return 1;
    }
    if (op == 2) {
        K_cmd_record* r = K_cmd_lookup(a);
        if (!r || !(r->attr & K_ATTR_VIEW_METHOD) || !r->handler.view)
            return 0;
        return r->handler.view(v, a, nullptr);
    }
    switch (op) {
    case 3: return GoToResultLine(v, a);
    case 4: return StepResult(v, a);
    case 5: return LocateAtCaret(v);
    case 6: return a >= 301 && a <= 693 ? Do_k_cmd(a, 0, v, nullptr) : 0;
    default: return -1;
    }
}

void JlOutOfMemory() {
    MsgOut(0x4030, "Unable to add to the JumpList. Out of memory.\n\nYou should restart QW.");
}

} // namespace

void SetGoToLinePrompt(GoToLinePromptFn fn) { g_prompt = fn; }

int GoToLineFromText(CQWTextView* v, const char* text, bool original, bool extend) {
    VMB* b = v ? v->GetBuffer() : nullptr;
    if (!b)
        return 0;
    GoToLineRequest r = ParseGoToLineText(text, int(v->GetCurLine()), v->GetLineCount(),
                                          vm_is_fully_read(b) != 0);
    if (r.code == QW_IDS_NOT_LINE_NUMBER) {
        MsgOutId(522, QW_IDS_NOT_LINE_NUMBER, text ? text : "");
        return 0;
    }
    if (r.code == QW_IDS_BEFORE_START) {
        MsgOutId(522, QW_IDS_BEFORE_START, int(v->GetCurLine()), r.relative);
        return 0;
    }
    AddToJumpList(v);
    ExtendScope scope(v, extend);
    if (r.code == QW_IDS_PAST_END) {
        MsgOutId(522, QW_IDS_PAST_END, r.asked);
        v->GoToLine(r.line, 0, 1, 0);
        return 0;
    }
    int got = v->GoToLine(r.line, 0, 1, original ? uint32_t(QW_GL_ORIGINAL_LINE) : 0u);
    if (original && !got)
        MsgOutId(522, QW_IDS_ORIGINAL_NOT_FOUND, r.line);
    return got;
}

void* CurrentViewForCommands() { return GetCurrentTextView(); }

bool GoToCommandLinePlace(int line, int column) {
    CQWTextView* v = GetCurrentTextView();
    if (!v || !v->GetBuffer() || !Editable(v))
        return false;
    if (line != 0) {
        int target = std::max(line, 1);
        if (!v->GoToLine(target, 0, 1, QW_GL_FOLLOW_COMPARE))
            v->GoToLine(std::max(v->GetLineCount(), 1), 0, 1, QW_GL_FOLLOW_COMPARE);
    }
    if (column != -1)
        v->GoToLine(int(v->GetCurLine()), std::clamp(column, 1, int(QW_MAX_COLUMNS)), 1, QW_GL_DISPLAY_COLUMN);
    return true;
}

int ActivateViewFrame(CQWTextView* view, bool set_focus, int flag) {
    if (!view || !view->hwnd() || !IsWindow(view->hwnd()))
        return 0;
    HWND main = EditorMainFrame();
    fw::FrameWindow* frame = view->GetParentFrame();
    if (GetWindowThreadProcessId(view->hwnd(), nullptr) == GetCurrentThreadId()) {
        if (frame) {
            frame->ActivateFrame(-1);
            if (IsIconic(frame->hwnd()))
                ShowWindow(frame->hwnd(), SW_RESTORE);
        }
        if (main && GetActiveWindow() != main)
            SetActiveWindow(main);
    } else if (frame) {
        HWND client = ::GetParent(frame->hwnd());
        if (client)
            SendMessageA(client, WM_MDIACTIVATE, reinterpret_cast<WPARAM>(frame->hwnd()), 0);
        if (main)
            SetForegroundWindow(main);
    }
    if (set_focus) {
        SetFocus(view->hwnd());
        UpdateWindow(view->hwnd());
    }
    if (main) {
        auto* rec = new ViewActivationRecord;
        rec->flag = flag;
        if (!PostMessageA(main, UWM_MAIN_ACTIVATE_VIEW, 0, reinterpret_cast<LPARAM>(rec)))
            delete rec;
    }
    return 1;
}

namespace {
// The record of an activation carried to the view's thread (0x47A).
struct ActivationCall {
    int set_focus;
    int flag;
    HWND foreground;
    HWND focus;
};
// One worker's activation at a time.
CRITICAL_SECTION* ActivationLock() {
    static CRITICAL_SECTION cs;
    static bool made = (InitializeCriticalSection(&cs), true);
    (void)made;
    return &cs;
}
std::map<HWND, std::pair<POINT, POINT>> g_saved_splits;
} // namespace

int ActivateViewFrameFromThread(CQWTextView* view, bool set_focus, int flag, HWND foreground, HWND focus) {
    if (!view || !view->hwnd() || !IsWindow(view->hwnd()))
        return 0;
    if (GetWindowThreadProcessId(view->hwnd(), nullptr) == GetCurrentThreadId()) {
        int r = ActivateViewFrame(view, set_focus, flag);
        if (foreground) {
            SetForegroundWindow(foreground);
            BringWindowToTop(foreground);
        }
        if (focus && !SetFocus(focus))
            PostMessageA(focus, WM_SETFOCUS, 0, 0);
        return r;
    }
    ActivationCall record{set_focus ? 1 : 0, flag, foreground, focus};
    CZQThread call(ActivationLock(), view->hwnd(), UWM_VIEW_THREAD_CALL, &record, 0);
    return call.result() == WAIT_OBJECT_0 ? 1 : 0;
}

LRESULT OnViewThreadCall(CQWTextView* view, WPARAM wp) {
    CZQThread::ServeRequest(reinterpret_cast<const void*>(wp), [view](CZQThread&, void* data) {
        // A closing view answers the waiting thread without acting.
        const auto* r = static_cast<const ActivationCall*>(data);
        if (r && !view->IsClosing() && !view->IsHiddenView())
            ActivateViewFrameFromThread(view, r->set_focus != 0, r->flag, r->foreground, r->focus);
    });
    return 0;
}

void SetSavedSplitLayout(CQWTextView* view, POINT first, POINT second) {
    if (view && view->hwnd())
        g_saved_splits[view->hwnd()] = {first, second};
}

void ForgetSavedSplitLayout(CQWTextView* view) {
    if (view && view->hwnd())
        g_saved_splits.erase(view->hwnd());
}

void RestoreSplitLayout(CQWTextView* view) {
    if (!Editable(view))
        return;
    fw::FrameWindow* frame = view->GetParentFrame();
    HWND client = frame ? ::GetParent(frame->hwnd()) : nullptr;
    if (client)
        SendMessageA(client, WM_MDIICONARRANGE, 0, 0);
    auto saved = g_saved_splits.find(view->hwnd());
    fw::SplitterWindow* s = SplitterOf(view);
    int row = -1, col = -1;
    if (saved == g_saved_splits.end() || !frame || !IsZoomed(frame->hwnd()) || !s ||
        (s->GetRowCount() < 2 && s->GetColumnCount() < 2) || !s->IsChildPane(view, &row, &col) ||
        row != 0 || col != 0)
        return;
    const POINT sizes[2] = {saved->second.first, saved->second.second};
    for (int i = 0; i < 2; ++i) {
        if (i < s->GetColumnCount())
            s->SetColumnInfo(i, std::max<int>(sizes[i].x, 10), 10);
        if (i < s->GetRowCount())
            s->SetRowInfo(i, std::max<int>(sizes[i].y, 10), 10);
    }
    s->RecalcLayout();
}

int PaneCommand(CQWTextView* v, int id) {
    if (!v)
        return 0;
    if (id == 364) {
        if (Editable(v)) {
            if (fw::FrameWindow* f = v->GetParentFrame())
                PostMessageA(f->hwnd(), WM_CLOSE, 0, 0);
            return 1;
        }
        return 0; // the output pane belongs to the shell
    }
    if (!Editable(v))
        return 0;
    fw::SplitterWindow* s = SplitterOf(v);
    switch (id) {
    case 376:
        return s && s->DoKeyboardSplit() ? 1 : 0;
    case 377: {
        int row = 0, col = 0;
        if (!s || !s->IsChildPane(v, &row, &col) ||
            (s->GetRowCount() < 2 && s->GetColumnCount() < 2)) {
            MsgOut(8, "No splitter pane to close");
            return 0;
        }
        // The pane that holds the view stays.
        if (s->GetRowCount() > 1)
            s->DeleteRow(row == 1 ? 0 : 1);
        if (s->GetColumnCount() > 1)
            s->DeleteColumn(col == 1 ? 0 : 1);
        return 1;
    }
    case 378:
    case 379: {
        bool previous = id == 379;
        if (!s || !s->CanActivateNext(previous)) {
            MsgOut(8, previous ? "No previous splitter pane to activate"
                               : "No next splitter pane to activate");
            return 0;
        }
        s->ActivateNext(previous);
        return 1;
    }
    default:
        return 0;
    }
}

namespace {
// Records with the extend-call attribute hand their handler the extend flag
// instead of the id: each command gets a thunk that knows its own id.
template <int ID>
int MoveThunk(void* v, int, K_cmd_params* p) {
    return H_Move(v, ID, p);
}
template <int... IDS>
void SetMoves(std::integer_sequence<int, IDS...>) {
    (void)std::initializer_list<int>{
        ((IDS >= 385 && IDS <= 427 && IDS != 389 && IDS != 390 && (IDS < 403 || IDS > 405))
             ? int(K_cmd_set_view_handler(IDS, &MoveThunk<IDS>))
             : 0)...};
}
template <int BASE, int... I>
void SetMovesFrom(std::integer_sequence<int, I...>) {
    SetMoves(std::integer_sequence<int, (BASE + I)...>{});
}
} // namespace

void InstallNavigationCommands() {
    SetMovesFrom<385>(std::make_integer_sequence<int, 43>{}); // 385..427
    K_cmd_set_view_handler(389, &H_GoToLine);
    K_cmd_set_view_handler(390, &H_GoToLine);
    K_cmd_set_view_handler(430, &H_GoToColumn);
    K_cmd_set_view_handler(510, &H_Jump);
    K_cmd_set_view_handler(511, &H_Jump);
    for (int id : {364, 376, 377, 378, 379})
        K_cmd_set_view_handler(id, &H_Pane);
    for (int id : {522, 523, 524, 525})
        K_cmd_set_view_handler(id, &H_LineBookmark);
    JumpListHooks h;
    h.is_window = &JlIsWindow;
    h.current_view = &JlCurrent;
    h.is_editable = &JlEditable;
    h.read = &JlRead;
    h.activate = &JlActivate;
    h.apply = &JlApply;
    h.out_of_memory = &JlOutOfMemory;
    SetJumpListHooks(h);
    Interp_SetViewCallHook(&ViewCall);
    InstallResultNavigation();
}
