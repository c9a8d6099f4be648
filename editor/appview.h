#pragma once
// CQWAppView: the view the editor's document template makes. It binds the
// view to the command layer: menu and toolbar commands, mouse buttons and
// the view's hooks become commands, bound events or macro programs run by
// name, and focus changes are announced to the registered document hooks.
//
// The class derives from the edit view through AppViewBase, so typing and
// the editing commands work in every document window.
#include <string>

#include "editor/appview_table.h"
#include "editor/editview.h"

using AppViewBase = CQWEditView;

// What the application view needs of the command layer above the command
// table: the executor, the binding matcher and the program runner. The
// shell fills it at start-up; an unset call counts as "nothing ran".
struct AppViewCommandHooks {
    // Runs a command sequence on the view with a parameter record of kind 1.
    int (*run_sequence)(const int* ids, int count, void* view) = nullptr;
    // The command state word stored with the main frame's menu for an id
    // of 33536-33661 (0: none).
    int (*menu_command)(unsigned id) = nullptr;
    // Availability (-1: no answer) and the value of a checkable command.
    int (*available)(int id) = nullptr;
    int (*value)(int id) = nullptr;
    // The binding of a mouse event with modifiers; QW_UNBOUND_EVENT when
    // nothing is bound.
    int (*binding)(int event, int modifiers, void* view) = nullptr;
    // Whether the bindings handle a modifier combination for the event.
    bool (*bound)(int event, int modifiers) = nullptr;
    void (*set_current_command)(int id) = nullptr;
    // Runs a macro program by name with a command id; its result.
    int (*run_program)(const char* name, int command, void* view) = nullptr;
};
enum : int { QW_UNBOUND_EVENT = 395 };
void SetAppViewCommandHooks(const AppViewCommandHooks& hooks);

class CQWAppView : public AppViewBase {
    FW_DECLARE_DYNCREATE(CQWAppView)
public:
    CQWAppView();
    ~CQWAppView() override;

    // Sets the caption shown in the frame title.
    void SetViewCaption(const char* caption);
    const std::string& caption() const { return caption_; }

    bool OnViewMouseEvent(UINT msg, int hit, int selecting, int busy, int reserved,
                          int keys) override;
    bool OnCmdMsg(fw::CommandCall& call) override;
    // A command id of the two ranges; whether something ran.
    bool OnCommandRange(unsigned id);

protected:
    bool OnNavigationMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

private:
    std::string caption_;
};

// Maps mouse-button messages to the mouse-binding events and modifier
// codes: (event, modifiers) of a press, release or double click; event 0
// for messages that are not mouse buttons.
struct MouseBindingEvent {
    int event = 0;
    int command = 0; // the command made current (680..688), 0 none
};
MouseBindingEvent MouseEventOf(UINT msg);
