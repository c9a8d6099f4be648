// The application view (see appview.h).
#include "editor/appview.h"

#include "commands/cmdtable.h"
#include "commands/interp.h"
#include "editor/mouse.h"
#include "framework/fwframe.h"

namespace {

AppViewCommandHooks g_hooks;

// view: the CQWTextView the program runs on (programs reach it as that class).
int RunProgram(const char* name, int command, CQWTextView* view) {
    if (g_hooks.run_program)
        return g_hooks.run_program(name, command, view);
    return CExe_ExecuteByName(name, 0, command, 0, static_cast<void*>(view), nullptr);
}

void SetCurrent(int id) {
    if (g_hooks.set_current_command)
        g_hooks.set_current_command(id);
}

int Binding(int event, int modifiers, void* view) {
    return g_hooks.binding ? g_hooks.binding(event, modifiers, view) : QW_UNBOUND_EVENT;
}

int ModifiersOf(WPARAM wp) {
    return MouseModifierCode((wp & MK_CONTROL) != 0, (wp & MK_SHIFT) != 0,
                             GetKeyState(VK_MENU) < 0);
}

} // namespace

void SetAppViewCommandHooks(const AppViewCommandHooks& hooks) { g_hooks = hooks; }

MouseBindingEvent MouseEventOf(UINT msg) {
    switch (msg) {
    case WM_LBUTTONDOWN: return {1, 680};
    case WM_LBUTTONUP: return {234, 681};
    case WM_MBUTTONDOWN: return {4, 686};
    case WM_MBUTTONUP: return {236, 687};
    case WM_MBUTTONDBLCLK: return {239, 688};
    default: return {};
    }
}

FW_IMPLEMENT_DYNCREATE(CQWAppView, CQWEditView)

CQWAppView::CQWAppView() = default;

CQWAppView::~CQWAppView() {
    if (!IsHiddenView())
        SetCurrent(364); // the close of a view
}

void CQWAppView::SetViewCaption(const char* caption) {
    caption_ = caption ? caption : "";
    if (fw::FrameWindow* f = GetParentFrame())
        f->OnUpdateFrameTitle(true);
}

bool CQWAppView::OnCommandRange(unsigned id) {
    int seq[1];
    if (id >= 300 && id < 1000) {
        seq[0] = int(id);
    } else if (id >= 33536 && id <= 33661) {
        seq[0] = g_hooks.menu_command ? g_hooks.menu_command(id) : 0;
        if (!seq[0])
            return false;
    } else {
        return false;
    }
    if (!g_hooks.run_sequence)
        return false;
    g_hooks.run_sequence(seq, 1, this);
    return true;
}

bool CQWAppView::OnCmdMsg(fw::CommandCall& call) {
    const unsigned id = call.id;
    const bool in_commands = id >= 301 && id <= 694;
    if (call.code == fw::kCodeUpdateUI && in_commands && call.ui) {
        if (call.probe)
            return true;
        if (K_cmd_is_checkable(int(id)) && g_hooks.value) {
            int v = g_hooks.value(int(id));
            if (v != -1)
                call.ui->SetCheck(v ? 1 : 0);
        }
        int a = g_hooks.available ? g_hooks.available(int(id)) : -1;
        if (a != -1)
            call.ui->Enable(a != 0);
        return true;
    }
    if (call.code == fw::kCodeCommand && (in_commands || (id >= 33536 && id <= 33661))) {
        if (call.probe)
            return true;
        return OnCommandRange(id);
    }
    return AppViewBase::OnCmdMsg(call);
}

bool CQWAppView::OnNavigationMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
    const MouseBindingEvent e = MouseEventOf(msg);
    if (!e.event)
        return AppViewBase::OnNavigationMessage(msg, wp, lp, result);
    *result = 0;
    const int m = ModifiersOf(wp);
    const bool by_binding = g_hooks.bound && g_hooks.bound(e.event, m);
    switch (msg) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        SetCurrent(e.command);
        if (!by_binding)
            return AppViewBase::OnNavigationMessage(msg, wp, lp, result);
        Binding(e.event, m | 8, this);
        return true;
    case WM_MBUTTONDOWN:
        // Window panning belongs to the controls library's scroller: an
        // unbound middle button does nothing until it is there.
        Binding(e.event, m, this);
        return true;
    default:
        Binding(e.event, m, this);
        return false; // then the default handling
    }
}

bool CQWAppView::OnViewMouseEvent(UINT msg, int hit, int selecting, int busy, int reserved,
                                  int keys) {
    (void)selecting;
    (void)busy;
    const int count = reserved >= 1 && reserved <= 3 ? reserved : 1;
    const uint32_t f = ViewFlags(-1, ~0u);
    const bool list = (f & (QW_VF_LIST_MATCH_A | QW_VF_LIST_MATCH_B)) != 0;
    const int m = MouseModifierCode((keys & MK_CONTROL) != 0, (keys & MK_SHIFT) != 0,
                                    (keys & 0x20) != 0);
    switch (msg) {
    case WM_LBUTTONDOWN:
        if (hit != QW_HIT_ICONS)
            return false;
        if (count == 3) {
            SetCurrent(680);
            return false;
        }
        RunProgram("TextBar", 680, this);
        return true;
    case WM_LBUTTONDBLCLK:
        if (count == 3) {
            SetCurrent(682);
            return false;
        }
        if (keys & 0x20) {
            Binding(237, m, this);
            return true;
        }
        if (list && g_hooks.run_sequence) {
            int seq[1] = {682};
            g_hooks.run_sequence(seq, 1, this);
            return true;
        }
        return false;
    case 516:
        return Binding(2, m, this) != QW_UNBOUND_EVENT;
    case 517:
        if (count == 3) {
            SetCurrent(684);
            return true;
        }
        if (keys & 44) {
            if (Binding(235, m, this) == QW_UNBOUND_EVENT)
                RunProgram("WindowNew", 684, this);
            return true;
        }
        if (hit == QW_HIT_ICONS) {
            RunProgram("TextBar", 684, this);
            return true;
        }
        if (list && g_hooks.run_sequence) {
            int seq[1] = {684};
            g_hooks.run_sequence(seq, 1, this);
            return true;
        }
        if (Binding(235, m, this) == QW_UNBOUND_EVENT)
            RunProgram(HasSelection() ? "OnRClickSel" : "locate", 684, this);
        return true;
    case 518:
        Binding(238, m, this);
        return true;
    default:
        return AppViewBase::OnViewMouseEvent(msg, hit, selecting, busy, reserved, keys);
    }
}
