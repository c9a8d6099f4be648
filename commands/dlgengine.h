#pragma once
// The table-driven dialog engine and the one entry for every dialog.
//
//   char folder[MAX_PATH] = "";
//   DlgString strings[] = {{folder, sizeof folder}, {nullptr, 0}};
//   if (dialog_manager_ex(2300, nullptr, "Go to", nullptr, 0, labels, strings,
//                         430, 0, nullptr, 0, nullptr, params) == IDOK) ...
//
// The engine (Dialog_UI) loads the dialog's control table, moves values
// between controls and their storage by control identifier (160-199 label
// texts, 250-259 string values, 270-279 combo values, 280-284 list values,
// 300-999 command values, others the profile or the callback), applies
// enable rules, validates entries and keeps the first values so that Cancel
// can put immediate-apply settings back. Events go to a CDialogCallback.
// Other threads reach an open dialog only by posting UWM_DLG_EVENT and
// UWM_DLG_REQUEST (DlgPostRequest).
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "VmEngine/vm.h"
#include "commands/dlgtable.h"
#include "framework/fwdialog.h"

struct K_cmd_params;
struct VMB;
class Dialog_UI;
class QWDialog;

enum : UINT {
    UWM_DLG_VALIDATE = 0x401,
    UWM_DLG_ACTIVATE = 0x402,
    UWM_DLG_SELECT_PAGE = 0x403,
    UWM_DLG_EVENT = 0x404,
    UWM_DLG_REQUEST = 0x405,
};

// Dialog flags (argument 5 of dialog_manager_ex).
enum : unsigned {
    DLG_F_CHANGE_POSTS_OK = 0x4,
    DLG_F_MODELESS = 0x20000,
    DLG_F_KEEP_PLACEMENT = 0x100000,
    DLG_F_SIZE_ONLY = 0x200000,
    DLG_F_WIDEN = 0x400000,
    DLG_F_RIGHT_EDGE = 0x800000,
    DLG_F_CENTRE = 0x1000000,
};

// Resources of the engine.
enum : int {
    DLG_IDB_SIZE_GRIP = 32766,
    DLG_ID_SIZE_GRIP = 65535,
};

// Dialog events.
enum : int {
    DLG_EV_AVAILABLE = 2,
    DLG_EV_VALIDATE = 4,
    DLG_EV_SPIN_LIST = 8,
    DLG_EV_LIST_ACTION = 16,
    DLG_EV_CLICK = 32,
    DLG_EV_VALUE_QUERY = 256,
    DLG_EV_VALUE_STORED = 512,
    DLG_EV_STATE = 1024,
    DLG_EV_UPDATE = 2048,
};

// Engine state bits.
enum : unsigned {
    DLG_ST_INITIALISED = 0x1,
    DLG_ST_ACTIVE = 0x2,
    DLG_ST_CLOSING = 0x4,
    DLG_ST_APP_ACTIVE = 0x8,
    DLG_ST_APP_WAS_DEACTIVATED = 0x10,
    DLG_ST_CONFIRMED = 0x20,
    DLG_ST_COMBO_POSTS_OK = 0x40,
    DLG_ST_FAILED = 0x80,
    DLG_ST_ENDING = 0x100,
    DLG_ST_VALIDATING_ONE = 0x1000,
    DLG_ST_VALIDATING_ALL = 0x2000,
    DLG_ST_ALL_PASSED = 0x4000,
    DLG_ST_ALL_RAN = 0x8000,
    DLG_ST_SILENT = 0x10000,
};

// Reason codes of a value pass.
enum : int {
    DLG_R_UPDATE = 10000,
    DLG_R_TEXT_CHANGED = 10001,
    DLG_R_SEL_CHANGED = 10002,
    DLG_R_FOCUS_GAINED = 10003,
    DLG_R_FOCUS_LOST = 10004,
    DLG_R_VALIDATE_ALL = 10005,
};

// Called for every line when a list control is filled: (out, line, 2);
// out holds 1025 bytes.
using DlgLineFormatter = void (*)(char* out, const char* line, int mode);

class CDialogCallback {
public:
    virtual ~CDialogCallback() = default;
    // Event `event` for control `id` (for 1024 the state code). The default
    // runs a clicked setting identifier as a command and answers 1.
    virtual int OnEvent(int event, int id);
    // The value of a control that no other storage holds; -1 none.
    virtual int QueryValue(int id);

    Dialog_UI* owner = nullptr;
    int nesting = 0;
    bool reentry_allowed = false;
    // The context of the event being delivered.
    RECT rect{};
    HWND control = nullptr;
    std::string text;
    intptr_t arg1 = 0, arg2 = 0, arg3 = 0, arg4 = 0;
    long value = 0;
};

// Runs a command for the default callback (kind 6 parameters, no view).
// Replaceable; the default calls the command record's plain handler.
using DlgCommandRunner = int (*)(int id, K_cmd_params* params);
DlgCommandRunner DlgSetCommandRunner(DlgCommandRunner fn);

// Where placements are kept (null: nowhere) and the work area of the main
// window's monitor (replaceable for tests).
namespace fw { class Profile; }
void DlgSetProfile(const fw::Profile* profile);
const fw::Profile* DlgGetProfile();
using DlgWorkAreaFn = DlgRect (*)();
DlgWorkAreaFn DlgSetWorkAreaProvider(DlgWorkAreaFn fn);
// Whether a path names a document open in the editor (the documents layer
// installs it; without it only files on disk count).
using DlgDocumentOpenFn = bool (*)(const char* path);
void DlgSetDocumentOpenTest(DlgDocumentOpenFn fn);

struct CCtrl_Info {
    HWND window = nullptr;
    unsigned anchors = 0;
    int bottom_margin = 0;
    int min_width = 0;
    int source = -1;
    DWORD sel_start = 0, sel_end = 0;
    RECT original{};
    VMB* list = nullptr;      // the list buffer the control shows, when known
    bool temp_list = false;   // unpacked from a record line: the dialog closes it
};

class Dialog_UI {
public:
    Dialog_UI(HWND parent, QWDialog* host, int template_id, int table_id);
    virtual ~Dialog_UI();

    void Init(int command_id, unsigned flags, const char* caption, const char* const* labels, DlgString* strings,
              const intptr_t* values, DlgLineFormatter formatter, const char* program, intptr_t program_arg,
              CDialogCallback* callback);
    void OnInitDialog();

    HWND hwnd() const;
    int template_id() const { return template_id_; }
    int command_id() const { return command_id_; }
    unsigned state() const { return state_; }
    unsigned flags() const { return flags_; }
    int reason() const { return reason_; }
    const DlgTable& table() const { return table_; }
    const std::string& profile_section() const { return section_; }
    CDialogCallback* callback() const { return callback_; }
    // A tab page uses its sheet's callback and leaves it to the sheet.
    void ShareCallback(CDialogCallback* cb);
    intptr_t value(int n) const { return n >= 0 && n < 10 ? values_[n] : 0; }
    // String value n, {nullptr, 0} when there is none.
    DlgString string_value(int n) const;
    int GetRecordField(int k) const;

    int Call_Attached_CexeEx(int id, int event, const char* text, intptr_t a1, intptr_t a2, intptr_t a3, intptr_t a4);
    int Call_Attached_Cexe(int id, int event, const char* text = nullptr, intptr_t a1 = -1, intptr_t a2 = -1) {
        return Call_Attached_CexeEx(id, event, text, a1, a2, -1, -1);
    }

    // Applies the table (see the control-table header); the last enable
    // verdict, or -1.
    int DlgApplyTable(unsigned mask, int control = 0, int key = 0, const DlgRecord* skip = nullptr);
    bool ValidateControl(HWND control, int reason);
    bool ValidateAll(bool silent = false);
    // Stores every control's value into its storage.
    void StoreAll();
    bool LoadControl(HWND control);
    bool StoreControl(HWND control);

    // Whether an event is being delivered to the callback or program now.
    bool CallbackRunning() const { return running_ > 0 || (callback_ && callback_->nesting > 0); }
    // The update pass of one control at idle time: rules, reloaded value,
    // event 2048. Only an inactive, initialised modeless dialog takes part.
    void UpdatePass(int id);

    // Host notifications.
    bool OnCommand(int id, int code, HWND control);
    // Notifications of tree views: selection changed, focus lost.
    bool OnControlNotify(HWND control, UINT code);
    void OnTeardown();
    void OnActivateApp(bool active);
    void OnSize(int cx, int cy);
    void OnMove() { moved_ = true; }
    void OnMinMax(MINMAXINFO* mmi);
    // Paints the table's background bitmap; false: the default erase.
    bool EraseBackground(HDC dc);
    HWND size_grip() const { return grip_; }
    void FilterMessage(const MSG* msg);
    void HandleRequest(void* record);
    void EndDialog(int code);
    void SetState(unsigned bits, bool on) { state_ = on ? (state_ | bits) : (state_ & ~bits); }
    void SetAnchor(HWND control, unsigned bits);
    CCtrl_Info* Info(HWND control, bool create);
    int kind_of(HWND control) const;
    HWND Item(int id) const;
    std::string Text(HWND w) const;
    // Label text n, null when there is none.
    const std::string* label(int n) const {
        return n >= 0 && n < static_cast<int>(labels_.size()) ? &labels_[static_cast<size_t>(n)] : nullptr;
    }
    bool has_table() const { return has_table_; }
    // Whether a setting or command identifier is available inside the dialog.
    bool Available(int id);
    // Before the dialog is initialised, the first value of a control (an
    // integer, or -2 with the text) for Cancel to put back.
    void RecordUndo(HWND control, int value, const std::string& text);
    void LoadList(const DlgRecord& r, HWND key);
    HWND SpinPartnerOf(HWND edit) const;
    // Fills a list box or combo box; the widest entry plus an average
    // character (0 when nothing could be measured). Stops with the
    // out-of-space message when the control refuses an entry.
    int PopulateListFromStrings(HWND control, const std::vector<std::string>& lines, int select);

private:
    friend class QWDialog;
    struct Undo {
        HWND window;
        int value;
        std::string text;
    };
    bool Enabled(HWND w) const { return w && IsWindowEnabled(w); }
    int IntValue(HWND w) const;
    bool ApplyAction(const DlgRecord& r, HWND control, HWND key);
    VMB* ListSourceBuffer(const DlgRecord& r, HWND key, bool* temp);
    void DropTempList(HWND key);
public:
    // The user chose a folder in a folder tree: it becomes the tree's string
    // value, shown in the combo box that shares it.
    void FolderTreeChanged(HWND tree, const std::string& folder);
private:
    bool CheckSpin(HWND edit);
    void RunHelp();
    void SpinDelta(HWND spin, int delta);
    bool CheckRecordRules(HWND control, const std::string& text);
    void Message(unsigned id, const char* arg1 = nullptr, const char* arg2 = nullptr);
    void SetAnchorPoint(HWND control);
    void RestorePlacement(bool with_grip);
    void CreateSizeGrip();
    void SavePlacement();
    void AutoAnchors();

    HWND parent_;
    QWDialog* host_;
    int template_id_;
    int command_id_ = 0;
    std::string caption_;
    std::vector<std::string> labels_;
    std::vector<DlgString> strings_;
    intptr_t values_[10] = {};
    std::string program_;
    intptr_t program_arg_ = 0;
    CDialogCallback* callback_ = nullptr;
    bool owns_callback_ = true;
    DlgLineFormatter formatter_ = nullptr;
    unsigned flags_ = 0;
    int last_clicked_ = 0;
    HWND last_focus_ = nullptr;
    int reason_ = 0;
    int running_ = 0;
    DlgTable table_;
    bool has_table_ = false;
    unsigned state_ = 0;
    std::string section_;
    std::vector<CCtrl_Info> infos_;
    std::vector<Undo> undo_;
    POINT anchor_{-1, -1};
    const DlgRecord* current_ = nullptr;
    // Placement.
    bool moved_ = false;
    bool sizing_ = false;
    SIZE initial_{0, 0};
    SIZE client_{-1, -1};
    HBITMAP grip_bitmap_ = nullptr;
    HWND grip_ = nullptr;
    HBITMAP background_ = nullptr;
};

class QWDialog : public fw::Dialog {
public:
    QWDialog(int template_id, int table_id);
    ~QWDialog() override;
    Dialog_UI* ui() const { return ui_.get(); }
    // Ends the dialog with a button's own code once all controls pass.
    void EndDialogChecked(int code);
    bool modeless = false;

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
    void DoDataExchange(fw::DataExchange& dx) override;
    bool PreTranslateMessage(MSG* msg) override;
    bool OnCommand(WPARAM wp, LPARAM lp) override;
    bool OnNotify(WPARAM wp, LPARAM lp, LRESULT* result) override;
    bool OnWndMsg(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
    bool OnCmdMsg(fw::CommandCall& call) override;
    void OnIdleUpdateCmdUI(bool disable_if_no_handler) override;

private:
    std::unique_ptr<Dialog_UI> ui_;
};

// The engine of a dialog window (null: the window with the focus).
Dialog_UI* pDialog_UI(HWND window);
// The engine whose event is being delivered on this thread, else that of
// the dialog with the focus; null when neither.
Dialog_UI* DlgCurrentEngine();
// Lets HistoryListReadLine find the history a dialog control shows by its
// identifier (installed by the first engine; idempotent).
void DlgInstallHistoryResolver();

// ---- The entry ----------------------------------------------------------------------
// Returns the modal result (1 OK, 2 Cancel, or a button's code), 1 for a
// started modeless dialog or a preset answer, -1 after a failure. `strings`
// ends with {nullptr, 0}; `callback` (heap) belongs to the dialog.
int dialog_manager_ex(int template_id, const intptr_t* values, const char* caption, DlgLineFormatter formatter,
                      unsigned flags, const char* const* labels, DlgString* strings, int command_id, int table_id,
                      const char* program, intptr_t program_arg, CDialogCallback* callback, K_cmd_params* params);

// Asks for one value (template 2300 with flag 0x1, 2320 with a spin):
// its decimal value, or -1 when the dialog did not end with OK.
int DlgPromptValue(DlgString result, const char* caption, const char* prompt, int command_id, unsigned flags,
                   K_cmd_params* params);
// Lets the user pick a folder (template 2005). Options: 0x1 join the answer
// to the caller's path, 0x2 add it to the folder list of command 611, 0x4
// start at the caller's path. caption_id 1 "Select Folder", 0 none.
int ChangeFolderDialog(DlgString path, unsigned options, int caption_id, int command_id);
// A message box whose string has "%1" replaced by the items (15 at most).
int MessageBoxWithList(unsigned string_id, const std::vector<std::string>& list, unsigned flags, int extra);

// ---- Requests of other threads ------------------------------------------------------
struct DlgControlRequest {
    int control = 0;
    int kind = 0;  // 12 set text, 7 focus, 1224 progress range and position
    std::string text;
    int low = 0, high = 0, pos = 0;
};
// Posts a request to a dialog, which then owns it. The request is freed
// in every case: by the dialog, or here when the dialog is gone or closing.
bool DlgPostRequest(HWND dialog, DlgControlRequest* request);
// Requests posted but not yet carried out or freed (for tests).
int DlgPendingRequests();

// ---- Modeless dialogs -----------------------------------------------------------------
class CUIThreads {
public:
    static CUIThreads& Get();
    // The first open, not ending dialog of the template: 1 with its window
    // (brought to the foreground with `activate`), else 0.
    int FindModelessDialog(int template_id, bool activate, HWND* out);
    // Posts to every open dialog (of the template, or all with -1); the count.
    int PostMessage(int template_id, UINT msg, WPARAM wp, LPARAM lp);
    // Posts a request to the first open dialog of the template.
    bool PostRequest(int template_id, DlgControlRequest* request);
    // Ends every open modeless dialog but `except` with result 2.
    void CloseAll(HWND except);
    void ShowDialogs(bool show, DWORD except_thread);
    bool IsDialogOpen(DWORD thread_id);
    int GetDialogRects(const RECT& area, std::vector<RECT>* out);
    // Waits until every dialog thread has ended (exit, tests).
    bool WaitAll(DWORD timeout_ms);
    int Count();

    struct Entry;
    void Add(const std::shared_ptr<Entry>& e);
    void Remove(const std::shared_ptr<Entry>& e);
    bool EndThreadOf(HWND window);

private:
    std::vector<std::shared_ptr<Entry>> Snapshot();
};
