// Command execution and availability.
#include "commands/cmdexec.h"

#include <new>

#include "Reu/history.h"
#include "commands/cmdvalues.h"
#include "commands/interp.h"
#include "opsys/msgout.h"

namespace {

K_cmd_exec_hooks g_hooks{};

template <typename F, typename... A>
int ask_int(F fn, A... a) {
    return fn ? fn(a...) : 0;
}

bool read_only(void* v) { return ask_int(g_hooks.is_read_only, v) != 0; }
bool editable(void* v) { return ask_int(g_hooks.is_editable, v) != 0; }
bool special(void* v) { return ask_int(g_hooks.is_special, v) != 0; }

bool on_bracket_list(int id) {
    switch (id) {
    case 412: case 410: case 406: case 408: case 424: case 422: case 395: case 396:
    case 436: case 508: case 509: case 414: case 398: case 397:
        return true;
    default:
        return false;
    }
}

void pre_step(int id, uint32_t attr, void* view) {
    if (!(attr & K_ATTR_CARET_VISIBLE))
        return;
    if (g_hooks.caret_visible)
        g_hooks.caret_visible(view);
    if (special(view) && id != 406 && id != 408 && g_hooks.line_mark)
        g_hooks.line_mark(view, 1);
}

void post_step(int id, uint32_t attr, int state, void* view, K_cmd_params* params) {
    if (g_hooks.clear_pending_action)
        g_hooks.clear_pending_action(view);
    bool sp = special(view);
    if (ask_int(g_hooks.flag64, view)) {
        if (sp && id != 406 && id != 408 && g_hooks.line_mark)
            g_hooks.line_mark(view, 0);
    } else if (!sp && !ask_int(g_hooks.edit_state20, view)) {
        if ((attr & K_ATTR_ASSIST) && state == K_STATE_EDITABLE) {
            if (g_hooks.assist_event)
                g_hooks.assist_event(view, -3);
            if (g_hooks.edit_notify)
                g_hooks.edit_notify(view, 13);
        }
        if ((attr & K_ATTR_KEEP_COLUMN) && g_hooks.remember_column)
            g_hooks.remember_column(view);
    }
    if (params && params->kind == 0 && on_bracket_list(id) &&
        (!ask_int(g_hooks.bracket_highlight, view) || id == 508) && g_hooks.match_bracket)
        g_hooks.match_bracket(view);
}

bool is_title(const K_cmd_record& r) {
    return (r.attr & (K_ATTR_TITLE | K_ATTR_TITLE_FLAG0)) && r.handler.title &&
           reinterpret_cast<const void*>(r.handler.title) != reinterpret_cast<const void*>(&K_cmd_placeholder);
}

// The interim question until the do-not-ask-again store answers it.
int ask_edit_mode() {
    if (g_hooks.ask)
        return g_hooks.ask("TryEditMode", K_IDS_TRY_EDIT_MODE);
    return MsgAsk(1, nullptr, "This file is open in View mode. Switch it to Edit mode?") ? QW_IDYES : QW_IDNO;
}

} // namespace

void K_cmd_set_exec_hooks(const K_cmd_exec_hooks* hooks) { g_hooks = hooks ? *hooks : K_cmd_exec_hooks{}; }
const K_cmd_exec_hooks& K_cmd_get_exec_hooks() { return g_hooks; }

int K_cmd_view_state(void* view) {
    if (!view)
        return K_STATE_NO_VIEW;
    if (ask_int(g_hooks.is_minimized, view))
        return K_STATE_MINIMIZED;
    if (special(view))
        return K_STATE_SPECIAL;
    if (read_only(view) || !editable(view))
        return K_STATE_READ_ONLY;
    return K_STATE_EDITABLE;
}

int Do_k_cmd(int id, int flags, void* view, K_cmd_params* params) {
    if (view && read_only(view) && editable(view) && ask_int(g_hooks.is_named_file, view)) {
        K_cmd_record* rec = K_cmd_lookup(id);
        if (!rec || !(rec->attr & K_ATTR_READ_ONLY)) {
            if (ask_edit_mode() == QW_IDYES) {
                if (!g_hooks.file_read_only || g_hooks.file_read_only(view)) {
                    char name[VM_NAME_MAX + 1] = "";
                    if (g_hooks.buffer_name)
                        g_hooks.buffer_name(view, name, int(sizeof name));
                    MsgOut(QW_MSG_ID | QW_MSG_STATUS_HOLD, QwMsgId(K_IDS_FILE_READ_ONLY), name);
                    MsgBeep(0x40000);
                    return K_RESULT_READ_ONLY;
                }
                if (!ask_int(g_hooks.set_edit_mode, view))
                    return K_RESULT_READ_ONLY;
            }
        }
    }
    int state = K_cmd_view_state(view);
    if ((flags & K_DO_NOTE) && view && !is_char_cmd_id(id) && g_hooks.note_command)
        g_hooks.note_command(view, 1, id, 0);
    return Run_k_cmd(id, state, view, params);
}

int Run_k_cmd(int id, int state, void* view, K_cmd_params* params) {
    K_cmd_params* built = nullptr;
    if (!params) {
        built = new (std::nothrow) K_cmd_params;
        if (built)
            K_cmd_params_init(built, 9, id, nullptr, 0, 0);
        params = built;
    }
    struct Free {
        K_cmd_params* p;
        ~Free() { delete p; }
    } free_built{built};
    if (params && !params->view)
        params->view = view;
    K_cmd_record* rec = K_cmd_lookup(id);
    if (!rec)
        return K_RESULT_REFUSED;
    uint32_t attr = rec->attr;
    if (!(uint32_t(state) & attr)) {
        bool macro_on_special = params && params->kind == 8 && view && special(view);
        if (!macro_on_special) {
            switch (state) {
            case K_STATE_MINIMIZED:
                MsgOut(QW_MSG_ID | QW_MSG_STATUS, QwMsgId(K_IDS_MINIMIZED));
                return 0;
            case K_STATE_NO_VIEW:
                MsgOut(QW_MSG_ID | QW_MSG_STATUS, QwMsgId(K_IDS_NEEDS_WINDOW));
                return 0;
            case K_STATE_READ_ONLY:
            case K_STATE_SPECIAL:
                MsgOut(QW_MSG_ID | QW_MSG_STATUS, QwMsgId(K_IDS_READ_ONLY_ALLOWED));
                return K_RESULT_READ_ONLY;
            default:
                return K_RESULT_REFUSED;
            }
        }
    }
    if (view)
        pre_step(id, attr, view);
    // The handler may close the view: its window is noted now, and the view
    // is touched afterwards only while that window still maps to it.
    uintptr_t window = view && g_hooks.window_of ? g_hooks.window_of(view) : 0;
    int result;
    if (is_title(*rec)) {
        result = CExe_ExecuteByName(rec->handler.title, (attr & K_ATTR_TITLE) ? 1 : 0, id, 0, view, params);
    } else if (!rec->handler.fn) {
        result = K_RESULT_NO_HANDLER;
    } else if (attr & K_ATTR_VIEW_METHOD) {
        if (!view)
            return K_RESULT_REFUSED;
        if (attr & K_ATTR_VIEW_EXTEND)
            result = rec->handler.view(view, (attr & K_ATTR_EXTEND) ? 1 : 0, params);
        else
            result = rec->handler.view(view, id, params);
    } else if (attr & K_ATTR_VIEW_NOARGS) {
        if (!view)
            return K_RESULT_REFUSED;
        result = rec->handler.view_noargs(view);
    } else {
        result = rec->handler.fn(id, params);
    }
    if (view && window && g_hooks.window_is_view && g_hooks.window_is_view(window, view))
        post_step(id, attr, state, view, params);
    return result;
}

namespace {

// The special cases: 1 available, 0 not, -2 no special case.
int special_case(int id, void* dialog) {
    const K_cmd_exec_hooks& h = g_hooks;
    void* v = h.current_view ? h.current_view() : nullptr;
    auto view_editable = [&] { return v && editable(v) ? 1 : 0; };
    switch (id) {
    case 319: case 322: case 323: case 514:
        return view_editable();
    case 324:
        return v && ask_int(h.any_document, 3) ? 1 : 0;
    case 329: case 377: case 378: case 379:
        return ask_int(h.frames_with_view) >= 1 ? 1 : 0;
    case 367: case 368:
        return ask_int(h.frames_with_view) >= 2 ? 1 : 0;
    case 332: case 334: case 335: case 336: case 337: case 338:
        return ask_int(h.project_open) ? 1 : 0;
    case 333:
        return ask_int(h.project_can_save) ? 1 : 0;
    case 363:
        return ask_int(h.any_document, 1) ? 1 : 0;
    case 450:
        return v && ask_int(h.undo_lines, v) >= 1 ? 1 : 0;
    case 451:
        return v && ask_int(h.redo_steps, v) >= 1 ? 1 : 0;
    case 455: case 456:
        return v && (editable(v) || special(v)) && ask_int(h.selection_state, v) != 5 &&
                       ask_int(h.has_selection, v)
                   ? 1 : 0;
    case 457:
        return view_editable() && ask_int(h.scrap_exists) ? 1 : 0;
    case 471:
        return v && !ask_int(h.buffer_empty, v) ? 1 : 0;
    case 478: case 480: case 483:
        return HistoryListCount("Buffer f") >= 1 ? view_editable() : 0;
    case 510:
        return ask_int(h.jump_can_move, 0) ? 1 : 0;
    case 511:
        return ask_int(h.jump_can_move, 1) ? 1 : 0;
    case 452: case 453: case 454: case 458: case 459: case 460: case 461: case 462: case 463:
    case 464: case 475:
        return v && ask_int(h.has_selection, v) ? 1 : 0;
    case 555:
        return 1;
    case 556:
        return HistoryListCount("Buffer m") >= 1 ? view_editable() : 0;
    case 559: case 561: case 562:
        return v && ask_int(h.is_main_view, v) ? 1 : 0;
    case 563:
        return (v && ask_int(h.is_main_view, v)) || ask_int(h.any_editor_view) ? 1 : 0;
    case 576: case 585: case 602:
        return CExe_ExecuteByName("StyleSheetMgmt", 1, id, 2, nullptr, nullptr) == 1 ? 1 : 0;
    case 578: case 579: case 580: case 603:
        return dialog ? -2 : view_editable();
    case 598: case 599: case 600:
        return (ask_int(h.language_flags, cmd_get_value(574)) & 0x1) ? 0 : 1;
    default:
        break;
    }
    if (id >= 536 && id <= 545)
        return v && ask_int(h.bookmark_set, v, id) ? 1 : 0;
    if (id >= 671 && id <= 679)
        return 0;
    return -2;
}

} // namespace

int dlg_cmd_available(int id, void* dialog) {
    int answer = special_case(id, dialog);
    if (answer == -2) {
        if (dialog && ask_int(g_hooks.dialog_has_handler, dialog))
            answer = ask_int(g_hooks.dialog_answer, dialog, id, 2);
        else if ((id >= 1 && id <= 299) || (id >= 301 && id <= 744) || (id >= 790 && id <= 821) ||
                 (id >= 850 && id <= 881))
            answer = 1;
        else
            return 1;
    }
    if (answer == -1)
        return 1;
    if (answer != 1)
        return answer;
    if (id < K_CMD_FIRST || id > K_CMD_LAST)
        return 1;
    uint32_t attr = K_cmd_get_flags(id);
    void* v = g_hooks.current_view ? g_hooks.current_view() : nullptr;
    if (!v)
        return (attr & K_ATTR_NO_VIEW) ? 1 : 0;
    if (special(v))
        return (attr & (K_ATTR_READ_ONLY | K_ATTR_SPECIAL_BUFFER)) ? 1 : 0;
    if (ask_int(g_hooks.is_minimized, v) && !(attr & K_ATTR_MINIMIZED))
        return 0;
    if (!read_only(v))
        return 1;
    return (attr & K_ATTR_READ_ONLY) ? 1 : 0;
}

int cmd_available(int id) { return dlg_cmd_available(id, nullptr); }
