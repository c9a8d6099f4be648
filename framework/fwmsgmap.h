#pragma once
// Message maps, command targets and the command-UI object.
//
// A class that handles messages or commands declares a map and lists its
// handlers in its source file:
//
//   class CMyView : public fw::View {
//       FW_DECLARE_MESSAGE_MAP()
//       void OnEditCopy();
//       void OnUpdateEditCopy(fw::CommandUI* ui);
//       LRESULT OnDeferred(WPARAM, LPARAM);
//   };
//   FW_BEGIN_MESSAGE_MAP(CMyView, fw::View)
//       FW_ON_COMMAND(ID_EDIT_COPY, OnEditCopy)
//       FW_ON_UPDATE_COMMAND_UI(ID_EDIT_COPY, OnUpdateEditCopy)
//       FW_ON_MESSAGE(0x478, OnDeferred)
//   FW_END_MESSAGE_MAP()
//
// A window looks a message up in its class's map, then in each base
// class's map; the first entry that matches handles it. Commands (WM_COMMAND
// from menus, accelerators and buttons) and update requests are routed from
// target to target by OnCmdMsg: a view passes what it does not handle to
// its document, a frame asks its active view first, then itself, then the
// application (see fwdoc.h, fwframe.h).
//
// Handler forms:
//   FW_ON_MESSAGE(msg, f)                  LRESULT f(WPARAM, LPARAM)
//   FW_ON_REGISTERED_MESSAGE(var, f)       same; var is a UINT holding the number
//   FW_ON_COMMAND(id, f)                   void f()
//   FW_ON_COMMAND_EX(id, f)                bool f(UINT id); false routes on
//   FW_ON_COMMAND_RANGE(a, b, f)           void f(UINT id)
//   FW_ON_UPDATE_COMMAND_UI(id, f)         void f(fw::CommandUI*)
//   FW_ON_UPDATE_COMMAND_UI_RANGE(a, b, f) void f(fw::CommandUI*)   (ui->id)
//   FW_ON_CONTROL(code, id, f)             void f()   (WM_COMMAND notification)
//   FW_ON_NOTIFY(code, id, f)              void f(NMHDR*, LRESULT*)
//   FW_ON_NOTIFY_RANGE(code, a, b, f)      void f(UINT id, NMHDR*, LRESULT*)
// Reflected to the control that sent them (in the control's own map):
//   FW_ON_NOTIFY_REFLECT(code, f)          void f(NMHDR*, LRESULT*)
//   FW_ON_CONTROL_REFLECT(code, f)         void f()
//   FW_ON_MESSAGE_REFLECT(msg, f)          LRESULT f(WPARAM, LPARAM), for
//       WM_DRAWITEM, WM_MEASUREITEM, WM_COMPAREITEM, WM_DELETEITEM,
//       WM_CTLCOLOR*, WM_HSCROLL, WM_VSCROLL, WM_CHARTOITEM, WM_VKEYTOITEM
#include <windows.h>

#include "framework/fwexport.h"
#include "framework/fwobject.h"

namespace fw {

class CommandTarget;
class CommandUI;

// Command codes besides control notification codes.
enum : int {
    kCodeCommand = 0,      // a menu item, accelerator or button click
    kCodeUpdateUI = -1,    // an update request; CommandCall::ui is set
};

// One command or update request on its way through the targets.
struct CommandCall {
    UINT id = 0;
    int code = kCodeCommand;
    CommandUI* ui = nullptr;
    // Only ask whether some target has a handler; call nothing.
    bool probe = false;
};

// What a map handler receives.
struct MapCall {
    UINT message;
    WPARAM wp;
    LPARAM lp;
    UINT id;
    CommandUI* ui;
    NMHDR* nmhdr;
    LRESULT* result;
};

using MapHandler = LRESULT (*)(CommandTarget* self, MapCall& call);

enum class MapKind : unsigned char {
    kEnd,
    kMessage,
    kRegistered,
    kCommand,
    kCommandEx,
    kUpdateUI,
    kControl,
    kNotify,
    kReflectMessage,
    kReflectNotify,
    kReflectControl,
};

struct MessageMapEntry {
    MapKind kind;
    UINT message;          // kMessage, kReflectMessage
    int code;              // kControl, kNotify, kReflect*
    UINT first, last;      // id range (commands, updates, notifications)
    const UINT* registered;
    MapHandler fn;
};

struct MessageMap {
    const MessageMap* (*base)();
    const MessageMapEntry* entries;
};

// Anything that handles commands: windows, documents, threads.
class QWFW_API CommandTarget : public Object {
    FW_DECLARE_DYNAMIC(CommandTarget)
public:
    // Routes a command or update request; true when some target took it.
    virtual bool OnCmdMsg(CommandCall& call);
    // Helpers for callers: route a command / an update of `ui`.
    bool RouteCommand(UINT id);
    bool RouteUpdate(CommandUI& ui);

    virtual const MessageMap* GetMessageMap() const;
    static const MessageMap* GetThisMessageMap();

protected:
    // Looks `call` up in this object's own maps only.
    bool DispatchCommand(CommandCall& call);
    // The first entry of the maps that satisfies pred, or null.
    template <class Pred>
    const MessageMapEntry* FindEntry(Pred pred) const {
        for (const MessageMap* m = GetMessageMap(); m; m = m->base ? m->base() : nullptr)
            for (const MessageMapEntry* e = m->entries; e->kind != MapKind::kEnd; ++e)
                if (pred(*e)) return e;
        return nullptr;
    }
};

// The state of one user-interface item (menu item, dialog control, bar
// button) offered to update handlers. Bars derive to draw their buttons.
class QWFW_API CommandUI {
public:
    virtual ~CommandUI() = default;

    UINT id = 0;
    // A menu item: the menu and the item's position in it.
    HMENU menu = nullptr;
    UINT index = 0;
    // A control of a dialog or bar.
    HWND control = nullptr;

    virtual void Enable(bool on = true);
    // 0 unchecked, 1 checked, 2 indeterminate.
    virtual void SetCheck(int state = 1);
    virtual void SetRadio(bool on = true);
    virtual void SetText(const char* text);

    // Routes an update to `target`. When nobody handles it and
    // disable_if_no_handler is set, the item is disabled unless some
    // target has a command handler for it. True when a handler ran.
    bool DoUpdate(CommandTarget* target, bool disable_if_no_handler);

    // Set by Enable, so callers know a handler decided.
    bool enable_changed = false;
    bool enabled = true;
};

} // namespace fw

// ---- map declaration and entries ----

#define FW_DECLARE_MESSAGE_MAP()                                  \
public:                                                           \
    const ::fw::MessageMap* GetMessageMap() const override;       \
    static const ::fw::MessageMap* GetThisMessageMap();           \
                                                                  \
private:

#define FW_BEGIN_MESSAGE_MAP(cls, base_cls)                                         \
    const ::fw::MessageMap* cls::GetMessageMap() const { return GetThisMessageMap(); } \
    const ::fw::MessageMap* cls::GetThisMessageMap() {                              \
        using ThisClass [[maybe_unused]] = cls;                                     \
        using BaseClass = base_cls;                                                 \
        static const ::fw::MessageMapEntry entries[] = {

#define FW_END_MESSAGE_MAP()                                                        \
    {::fw::MapKind::kEnd, 0, 0, 0, 0, nullptr, nullptr}                             \
    }                                                                               \
    ;                                                                               \
    static const ::fw::MessageMap map{&BaseClass::GetThisMessageMap, entries};      \
    return &map;                                                                    \
    }

#define FW_MAP_SELF static_cast<ThisClass*>(t_)
#define FW_MAP_FN [](::fw::CommandTarget* t_, ::fw::MapCall& c_) -> LRESULT

#define FW_ON_MESSAGE(msg_, f_) \
    {::fw::MapKind::kMessage, (msg_), 0, 0, 0, nullptr, FW_MAP_FN { return FW_MAP_SELF->f_(c_.wp, c_.lp); }},
#define FW_ON_REGISTERED_MESSAGE(var_, f_) \
    {::fw::MapKind::kRegistered, 0, 0, 0, 0, &(var_), FW_MAP_FN { return FW_MAP_SELF->f_(c_.wp, c_.lp); }},
#define FW_ON_COMMAND(id_, f_) \
    {::fw::MapKind::kCommand, 0, 0, (id_), (id_), nullptr, FW_MAP_FN { (void)c_; FW_MAP_SELF->f_(); return 1; }},
#define FW_ON_COMMAND_EX(id_, f_) \
    {::fw::MapKind::kCommandEx, 0, 0, (id_), (id_), nullptr, FW_MAP_FN { return FW_MAP_SELF->f_(c_.id) ? 1 : 0; }},
#define FW_ON_COMMAND_RANGE(a_, b_, f_) \
    {::fw::MapKind::kCommand, 0, 0, (a_), (b_), nullptr, FW_MAP_FN { FW_MAP_SELF->f_(c_.id); return 1; }},
#define FW_ON_UPDATE_COMMAND_UI(id_, f_) \
    {::fw::MapKind::kUpdateUI, 0, 0, (id_), (id_), nullptr, FW_MAP_FN { FW_MAP_SELF->f_(c_.ui); return 1; }},
#define FW_ON_UPDATE_COMMAND_UI_RANGE(a_, b_, f_) \
    {::fw::MapKind::kUpdateUI, 0, 0, (a_), (b_), nullptr, FW_MAP_FN { FW_MAP_SELF->f_(c_.ui); return 1; }},
#define FW_ON_CONTROL(code_, id_, f_) \
    {::fw::MapKind::kControl, 0, (code_), (id_), (id_), nullptr, FW_MAP_FN { (void)c_; FW_MAP_SELF->f_(); return 1; }},
#define FW_ON_NOTIFY(code_, id_, f_)                                                              \
    {::fw::MapKind::kNotify, 0, static_cast<int>(code_), (id_), (id_), nullptr,                  \
     FW_MAP_FN { FW_MAP_SELF->f_(c_.nmhdr, c_.result); return 1; }},
#define FW_ON_NOTIFY_RANGE(code_, a_, b_, f_)                                                      \
    {::fw::MapKind::kNotify, 0, static_cast<int>(code_), (a_), (b_), nullptr,                    \
     FW_MAP_FN { FW_MAP_SELF->f_(c_.id, c_.nmhdr, c_.result); return 1; }},
#define FW_ON_NOTIFY_REFLECT(code_, f_)                                                          \
    {::fw::MapKind::kReflectNotify, 0, static_cast<int>(code_), 0, 0, nullptr,                 \
     FW_MAP_FN { FW_MAP_SELF->f_(c_.nmhdr, c_.result); return 1; }},
#define FW_ON_CONTROL_REFLECT(code_, f_) \
    {::fw::MapKind::kReflectControl, 0, (code_), 0, 0, nullptr, FW_MAP_FN { (void)c_; FW_MAP_SELF->f_(); return 1; }},
#define FW_ON_MESSAGE_REFLECT(msg_, f_) \
    {::fw::MapKind::kReflectMessage, (msg_), 0, 0, 0, nullptr, FW_MAP_FN { return FW_MAP_SELF->f_(c_.wp, c_.lp); }},
