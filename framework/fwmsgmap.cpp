#include "framework/fwmsgmap.h"

namespace fw {

FW_IMPLEMENT_DYNAMIC(CommandTarget, Object)

namespace {
const MessageMapEntry kNoEntries[] = {{MapKind::kEnd, 0, 0, 0, 0, nullptr, nullptr}};
const MessageMap kCommandTargetMap{nullptr, kNoEntries};

bool InRange(const MessageMapEntry& e, UINT id) { return id >= e.first && id <= e.last; }
} // namespace

const MessageMap* CommandTarget::GetThisMessageMap() { return &kCommandTargetMap; }
const MessageMap* CommandTarget::GetMessageMap() const { return GetThisMessageMap(); }

bool CommandTarget::OnCmdMsg(CommandCall& call) { return DispatchCommand(call); }

bool CommandTarget::RouteCommand(UINT id) {
    CommandCall call;
    call.id = id;
    return OnCmdMsg(call);
}

bool CommandTarget::RouteUpdate(CommandUI& ui) {
    CommandCall call;
    call.id = ui.id;
    call.code = kCodeUpdateUI;
    call.ui = &ui;
    return OnCmdMsg(call);
}

bool CommandTarget::DispatchCommand(CommandCall& call) {
    MapCall mc{0, 0, 0, call.id, call.ui, nullptr, nullptr};
    for (const MessageMap* m = GetMessageMap(); m; m = m->base ? m->base() : nullptr) {
        for (const MessageMapEntry* e = m->entries; e->kind != MapKind::kEnd; ++e) {
            bool match = false;
            switch (e->kind) {
            case MapKind::kUpdateUI:
                match = call.code == kCodeUpdateUI && InRange(*e, call.id);
                break;
            case MapKind::kCommand:
            case MapKind::kCommandEx:
                match = call.code == kCodeCommand && InRange(*e, call.id);
                break;
            case MapKind::kControl:
                match = call.code != kCodeUpdateUI && e->code == call.code && InRange(*e, call.id);
                break;
            default:
                break;
            }
            if (!match) continue;
            if (call.probe) return true;
            LRESULT r = e->fn(this, mc);
            // An extended handler that declines lets the search go on.
            if (e->kind != MapKind::kCommandEx || r) return true;
        }
    }
    return false;
}

// ---- CommandUI ----

void CommandUI::Enable(bool on) {
    enabled = on;
    enable_changed = true;
    if (menu) {
        EnableMenuItem(menu, index, MF_BYPOSITION | (on ? MF_ENABLED : MF_GRAYED));
    } else if (control) {
        // A control about to be disabled hands the focus on first, or the
        // keyboard would be left with nowhere to go.
        if (!on && GetFocus() == control) {
            HWND parent = GetParent(control);
            if (parent) SendMessageA(parent, WM_NEXTDLGCTL, 0, FALSE);
        }
        EnableWindow(control, on);
    }
}

void CommandUI::SetCheck(int state) {
    if (menu) {
        CheckMenuItem(menu, index, MF_BYPOSITION | (state ? MF_CHECKED : MF_UNCHECKED));
    } else if (control) {
        if (SendMessageA(control, WM_GETDLGCODE, 0, 0) & DLGC_BUTTON)
            SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(state), 0);
    }
}

void CommandUI::SetRadio(bool on) {
    if (menu) {
        MENUITEMINFOA mii{};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_FTYPE | MIIM_STATE;
        if (!GetMenuItemInfoA(menu, index, TRUE, &mii)) return;
        mii.fType = on ? (mii.fType | MFT_RADIOCHECK) : (mii.fType & ~static_cast<UINT>(MFT_RADIOCHECK));
        mii.fState = on ? (mii.fState | MFS_CHECKED) : (mii.fState & ~static_cast<UINT>(MFS_CHECKED));
        SetMenuItemInfoA(menu, index, TRUE, &mii);
    } else {
        SetCheck(on ? 1 : 0);
    }
}

void CommandUI::SetText(const char* text) {
    if (!text) return;
    if (menu) {
        MENUITEMINFOA mii{};
        mii.cbSize = sizeof mii;
        mii.fMask = MIIM_STRING;
        mii.dwTypeData = const_cast<char*>(text);
        SetMenuItemInfoA(menu, index, TRUE, &mii);
    } else if (control) {
        char now[512] = "";
        GetWindowTextA(control, now, sizeof now);
        // Setting the same text again only flickers.
        if (lstrcmpA(now, text) != 0) SetWindowTextA(control, text);
    }
}

bool CommandUI::DoUpdate(CommandTarget* target, bool disable_if_no_handler) {
    if (!target) return false;
    enable_changed = false;
    bool handled = target->RouteUpdate(*this);
    // System commands belong to the system menu, not to command handlers.
    if (!handled && disable_if_no_handler && !enable_changed && id < 0xF000) {
        CommandCall probe;
        probe.id = id;
        probe.probe = true;
        Enable(target->OnCmdMsg(probe));
    }
    return handled;
}

} // namespace fw
