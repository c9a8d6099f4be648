#include "shell/mainframe.h"

#include <cctype>
#include <cstring>
#include <mutex>

#include "Reu/thread.h"
#include "commands/cmdexec.h"
#include "commands/cmdseq.h"
#include "commands/cmdtable.h"
#include "commands/cmdvalues.h"
#include "commands/dlgengine.h"
#include "commands/interp_thread.h"
#include "commands/keytrans.h"
#include "editor/docmanager.h"
#include "editor/panes.h"
#include "editor/qwdoc.h"
#include "editor/textview.h"
#include "framework/fwapp.h"
#include "framework/fwdoc.h"
#include "opsys/files.h"
#include "opsys/msgout.h"
#include "opsys/strlib.h"
#include "shell/qwfolders.h"
#include "shell/qwmenus.h"
#include "shell/qwtitle.h"
#include "shell/qwversion.h"

FW_IMPLEMENT_DYNAMIC(CMainFrame, fw::MDIFrameWindow)

namespace {

QwFrameHooks g_hooks;
std::mutex g_hooks_lock;
CMainFrame* g_frame = nullptr;

enum : int { kSettingTextMenusShort = 656 };

} // namespace

void SetFrameHooks(const QwFrameHooks* hooks) {
    std::lock_guard<std::mutex> g(g_hooks_lock);
    g_hooks = hooks ? *hooks : QwFrameHooks{};
}

QwFrameHooks GetFrameHooks() {
    std::lock_guard<std::mutex> g(g_hooks_lock);
    return g_hooks;
}

CMainFrame* GetMainFrame() { return g_frame; }

const char kMainFrameClass[] = "QWMainFrame";

bool CMainFrame::CreateFrameWindow(const char*, DWORD style, HWND parent, HMENU menu) {
    HINSTANCE inst = GetModuleHandleA(nullptr);
    if (!RegisterClass(kMainFrameClass, CS_DBLCLKS, reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1),
                       LoadIconA(inst, MAKEINTRESOURCEA(130))))
        return false;
    return fw::MDIFrameWindow::CreateFrameWindow(kMainFrameClass, style, parent, menu);
}

bool QwPostOpenFile(const char* path, uint32_t open_flags) {
    CMainFrame* f = g_frame;
    if (!f || !f->hwnd() || !path) return false;
    char* copy = StrMallocCopy(path);
    if (!copy) return false;
    if (!PostMessageA(f->hwnd(), UWM_OPEN_FILE, open_flags, reinterpret_cast<LPARAM>(copy))) {
        free(copy);
        return false;
    }
    return true;
}

bool PaneKeepsKey(const MSG& msg, const char* focus_class, bool ctrl, bool alt) {
    if (focus_class && _stricmp(focus_class, "edit") == 0) return true;
    if (msg.message == WM_KEYDOWN || msg.message == WM_SYSKEYDOWN) {
        WPARAM k = msg.wParam;
        if (k >= 0x20 && k <= 0x28) return (k == VK_UP || k == VK_DOWN) ? !alt : true;
        return k == VK_RETURN || k == VK_DELETE || k == VK_BACK || k == VK_F5;
    }
    if (msg.message == WM_CHAR) return !ctrl;
    return false;
}

CMainFrame::CMainFrame() { g_frame = this; }

CMainFrame::~CMainFrame() {
    if (g_frame == this) g_frame = nullptr;
}

CNewMenu* CMainFrame::current_menu() {
    HMENU shown = hwnd() ? ::GetMenu(hwnd()) : nullptr;
    CNewMenu* m = CNewMenu::FromHandle(shown);
    return m ? m : &default_menu_;
}

int CMainFrame::OnCreateSteps() {
    if (!Open_QW_KCmds_Dictionary()) {
        MsgOut(QW_MSG_LOG, "Open_QW_KCmds_Dictionary() failed.");
        return -1;
    }
    QwFrameHooks h = GetFrameHooks();
    if (h.create_status_bar) h.create_status_bar(this);
    if (h.create_output_pane) h.create_output_pane(this);
    return 0;
}

int CMainFrame::BuildFrameMenus() {
    next_multi_ = QW_MENU_MULTI_FIRST;
    ReleaseMenuItemData(&default_menu_);
    default_menu_.CreateMenu();
    std::string path = GetConfigFilePathStr("Menu_NoWin", 1);
    if (!LoadMenuFile(&default_menu_, path.c_str(), &next_multi_)) return 0;
    // The frame's own menu is shown while no document window is active.
    HMENU old = menu_;
    menu_ = default_menu_.m_hMenu;
    MDISetMenu(menu_, nullptr);
    if (old && old != menu_) ::DestroyMenu(old);

    ReleaseMenuItemData(&text_menu_);
    text_menu_.Detach();
    text_menu_.CreateMenu();
    const char* text_name = cmd_get_value(kSettingTextMenusShort) > 0 ? "Menu_TextS" : "Menu_TextL";
    path = GetConfigFilePathStr(text_name, 1);
    if (!LoadMenuFile(&text_menu_, path.c_str(), &next_multi_)) return 0;
    fw::Application* app = fw::Application::Current();
    fw::MultiDocTemplate* text_tpl = nullptr;
    fw::MultiDocTemplate* output_tpl = nullptr;
    if (app)
        for (auto& t : app->doc_manager()->templates()) {
            if (t->resource_id() == DOC_TEMPLATE_TEXT) text_tpl = t.get();
            if (t->resource_id() == DOC_TEMPLATE_OUTPUT) output_tpl = t.get();
        }
    if (text_tpl) text_tpl->SetSharedMenu(text_menu_.m_hMenu);

    ReleaseMenuItemData(&output_menu_);
    output_menu_.Detach();
    output_menu_.CreateMenu();
    path = GetConfigFilePathStr("Menu_Output", 1);
    if (!LoadMenuFile(&output_menu_, path.c_str(), &next_multi_)) return 0;
    if (output_tpl) output_tpl->SetSharedMenu(output_menu_.m_hMenu);
    if (hwnd()) DrawMenuBar(hwnd());
    return 1;
}

void CMainFrame::ReleaseMenus() {
    ReleaseMenuItemData(&default_menu_);
    ReleaseMenuItemData(&text_menu_);
    ReleaseMenuItemData(&output_menu_);
    // The handles belong to the window and the templates from here on.
    if (menu_ == default_menu_.m_hMenu) default_menu_.Detach();
    text_menu_.Detach();
    output_menu_.Detach();
}

std::string CMainFrame::GetMessageString(UINT id) {
    if (is_setting_id(int(id))) {
        char buf[K_CMD_NAME_BUF];
        if (K_cmd_get_description(buf, int(id))) return buf;
        return {};
    }
    std::string prompt;
    if (GetMenuItemPrompt(int(id), current_menu(), &prompt)) return prompt;
    return {};
}

bool CMainFrame::OnCommandRange(UINT id) {
    int32_t single[2] = {int32_t(id), K_SEQ_END};
    const int32_t* seq = nullptr;
    if (is_setting_id(int(id))) {
        seq = single;
    } else if (const QwMenuItemData* d = GetMenuItemSequence(current_menu(), int(id))) {
        seq = d->sequence.data();
    }
    if (!seq) return false;
    QwFrameHooks h = GetFrameHooks();
    if (h.run_sequence) return h.run_sequence(seq) != 0;
    K_cmd_sequence state{seq, seq};
    K_cmd_params params;
    K_cmd_params_init(&params, 1, seq[0], nullptr, 0, 0);
    return K_cmd_run_sequence(&state, nullptr, &params) != 0;
}

bool CMainFrame::OnCmdMsg(fw::CommandCall& call) {
    if (first_command_target && first_command_target->OnCmdMsg(call)) return true;
    if (fw::MDIFrameWindow::OnCmdMsg(call)) return true;
    UINT id = call.id;
    bool ours = (id >= 301 && id <= 694) || (id >= QW_MENU_MULTI_FIRST && id <= QW_MENU_MULTI_LAST);
    if (!ours) return false;
    if (call.code == fw::kCodeUpdateUI && call.ui) {
        if (call.probe) return true;
        bool enable = true;
        if (is_setting_id(int(id))) {
            if (K_cmd_is_checkable(int(id))) {
                int v = cmd_get_value(int(id));
                if (v != -1) call.ui->SetCheck(v ? 1 : 0);
            }
            int available = cmd_available(int(id));
            if (available != -1) enable = available != 0;
        }
        call.ui->Enable(enable);
        return true;
    }
    if (call.code != fw::kCodeCommand) return false;
    if (call.probe) return true;
    return OnCommandRange(id);
}

bool CMainFrame::KeyGoesToTranslator(MSG* msg) {
    HWND focus = ::GetFocus();
    if (!focus) return true;
    if (dynamic_cast<CQWTextView*>(fw::Window::FromHandlePermanent(focus))) return true;
    for (int i = 0; i < pane_count_; ++i) {
        if (!panes_[i] || (focus != panes_[i] && !IsChild(panes_[i], focus))) continue;
        char cls[64] = "";
        GetClassNameA(focus, cls, sizeof cls);
        bool ctrl = GetKeyState(VK_CONTROL) < 0, alt = GetKeyState(VK_MENU) < 0;
        return !PaneKeepsKey(*msg, cls, ctrl, alt);
    }
    return false;
}

bool CMainFrame::PreTranslateMessage(MSG* msg) {
    QwFrameHooks h = GetFrameHooks();
    if (h.status_filter && h.status_filter(msg)) return true;
    if (msg->message >= WM_KEYFIRST && msg->message <= WM_KEYLAST) {
        if (h.translate_key && KeyGoesToTranslator(msg) &&
            h.translate_key(msg->message, msg->wParam, int(LOWORD(msg->lParam)), unsigned(HIWORD(msg->lParam))))
            return true;
    }
    return fw::MDIFrameWindow::PreTranslateMessage(msg);
}

std::string CMainFrame::BuildCaption() {
    QwCaptionParts parts;
    parts.title = title();
    fw::FrameWindow* active = GetActiveFrame();
    fw::Document* doc = active && active != this ? active->GetActiveDocument() : nullptr;
    if (doc) {
        auto* sdoc = fw::DynamicDowncast<CQWDoc>(doc);
        std::string name;
        if (sdoc && sdoc->IsNamedFile()) {
            name = doc->GetPathName();
            name = CompactPathForCaption(hwnd(), name);
        } else {
            name = doc->GetTitle();
        }
        bool modified = doc->IsModified();
        bool view_only = sdoc && sdoc->IsViewMode();
        parts.document = DocumentCaptionPart(name, active->window_number(), modified, view_only, QW_COMPARE_NONE, "");
    }
    uint32_t high = 0, low = 0;
    parts.has_version = GetVersionNumbers(&high, &low, nullptr) != 0;
    parts.version_high = high;
    parts.version_low = low;
    return BuildFrameCaption(parts);
}

void CMainFrame::OnIdleUpdateCmdUI(bool disable_if_no_handler) {
    // Modeless dialogs live on threads of their own: each runs its update
    // pass there, so the main thread never waits on a busy dialog.
    CUIThreads::Get().PostMessage(-1, fw::IdleUpdateMessage(), TRUE, 0);
    fw::MDIFrameWindow::OnIdleUpdateCmdUI(disable_if_no_handler);
}

HMENU CMainFrame::GetWindowMenuPopup(HMENU menu_bar) { return WindowMenuPopupOf(menu_bar); }

void CMainFrame::OnUpdateFrameTitle(bool) {
    if (!hwnd()) return;
    std::string caption = BuildCaption();
    if (GetText() != caption) SetText(caption);
}

LRESULT CMainFrame::OnOpenFile(WPARAM wp, LPARAM lp) {
    if (!IsAppThread()) return 0;
    QwFrameHooks h = GetFrameHooks();
    if (lp == 0 || lp == 1 || lp == 2) {
        int kind = int(lp);
        bool served = CZQThread::ServeRequest(reinterpret_cast<void*>(wp), [&](CZQThread& thread, void* data) {
            if (!data) return;
            if (kind == 0) {
                auto* r = static_cast<QwOpenFileRequest*>(data);
                void* view = nullptr;
                if (h.open_file) view = h.open_file(r->name, r->flags, r->mode);
                else if (fw::Application* app = fw::Application::Current())
                    view = r->name ? app->OpenDocumentFile(r->name) : nullptr;
                r->result = reinterpret_cast<intptr_t>(view);
            } else if (h.output_request) {
                h.output_request(kind, data, &thread);
            }
        });
        // The document manager's worker opens name their request by a
        // number it keeps, not by a thread.
        if (!served && kind == 0) DoWorkerOpenRequest(uintptr_t(wp));
        return 0;
    }
    // A path: the poster's heap copy, freed here on every path.
    char* path = reinterpret_cast<char*>(lp);
    if (FileExists(path)) {
        uint32_t flags = wp ? uint32_t(wp) : DOC_OPEN_RESTING;
        if (h.open_file)
            h.open_file(path, flags, 1);
        else if (fw::Application* app = fw::Application::Current())
            app->OpenDocumentFile(path);
    } else {
        MsgOut(QW_MSG_STATUS | QW_MSG_TIP, "File: %s\ndoesn't exist.", path);
    }
    free(path);
    return 0;
}

void CMainFrame::OnClose() {
    if (close_state_ != 0) return;
    close_state_ = 1;
    QwFrameHooks h = GetFrameHooks();
    if (h.close_project) {
        if (!h.close_project(0)) {
            close_state_ = 0;
            return;
        }
    }
    close_state_ = 2;
    // Modeless dialogs run threads of their own that use the editor: they
    // end before the documents do.
    CUIThreads::Get().CloseAll(nullptr);
    fw::MDIFrameWindow::OnClose();
    // The framework asked the documents; when one refused, closing is off.
    if (hwnd() && IsWindow(hwnd())) close_state_ = 0;
}

LRESULT CMainFrame::WindowProc(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CREATE: {
        LRESULT r = fw::MDIFrameWindow::WindowProc(msg, wp, lp);
        if (r == -1) return -1;
        return OnCreateSteps();
    }
    case UWM_MSG_OUTPUT:
        if (wp & QW_MSG_ID)
            MsgOutId(unsigned(wp), unsigned(lp));
        else
            MsgOut(unsigned(wp), "%s", reinterpret_cast<const char*>(lp));
        return 0;
    case UWM_FRAME_CALLBACK: {
        QwFrameHooks h = GetFrameHooks();
        if (wp == 1 && h.program_run_done) h.program_run_done(reinterpret_cast<void*>(lp));
        if (wp == 2 && h.open_file_request) h.open_file_request(reinterpret_cast<void*>(lp));
        return 0;
    }
    case UWM_VIEW_REQUEST: {
        // The views' activation record: freed as the type it was made as.
        auto* rec = reinterpret_cast<ViewActivationRecord*>(lp);
        if (wp == 4) RecalcLayout();
        delete rec;
        return 0;
    }
    case UWM_PROJECT_HISTORY: {
        QwFrameHooks h = GetFrameHooks();
        if (h.project_history) h.project_history(wp, lp);
        return 0;
    }
    case UWM_OPEN_FILE:
        return OnOpenFile(wp, lp);
    case UWM_INTERP_CALL_DONE:
        if (!IsAppThread()) return 0;
        CZQThread::ServeRequest(reinterpret_cast<void*>(wp), [](CZQThread&, void* data) {
            if (auto* call = static_cast<CInterpCallParams*>(data)) call->Start();
        });
        return 0;
    case UWM_VERSION_INFO: {
        QwFrameHooks h = GetFrameHooks();
        if (h.version_info) h.version_info(reinterpret_cast<void*>(lp));
        return 0;
    }
    case WM_COPYDATA: {
        auto* cds = reinterpret_cast<COPYDATASTRUCT*>(lp);
        QwFrameHooks h = GetFrameHooks();
        if (cds && h.command_line_block) h.command_line_block(cds->dwData, cds->lpData, cds->cbData);
        break;
    }
    case WM_MEASUREITEM: {
        MSG m{hwnd(), msg, wp, lp, 0, {0, 0}};
        if (CNewMenu::OnMeasureItem(&m)) return 1;
        break;
    }
    case WM_DRAWITEM:
        if (CNewMenu::OnDrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lp))) return 1;
        break;
    case WM_MENUCHAR: {
        CNewMenu* m = CNewMenu::FromHandle(reinterpret_cast<HMENU>(lp));
        if (m) {
            if (LOWORD(wp) == ' ' && (m->GetFlags() & 0x80)) return MAKELRESULT(0, MNC_IGNORE);
            if (LRESULT r = CNewMenu::OnMenuChar(LOWORD(wp), HIWORD(wp), m)) return r;
        }
        return MAKELRESULT(0, MNC_IGNORE);
    }
    case WM_INITMENUPOPUP: {
        LRESULT r = fw::MDIFrameWindow::WindowProc(msg, wp, lp);
        CNewMenu::OnInitMenuPopup(hwnd(), reinterpret_cast<HMENU>(wp), LOWORD(lp), HIWORD(lp));
        return r;
    }
    case WM_ENTERMENULOOP:
        in_menu_loop_ = true;
        break;
    case WM_EXITMENULOOP:
        in_menu_loop_ = false;
        break;
    case WM_NCDESTROY:
        ReleaseMenus();
        break;
    }
    return fw::MDIFrameWindow::WindowProc(msg, wp, lp);
}
