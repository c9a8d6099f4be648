#pragma once
// The do-not-ask-again store: every named question the editor asks, kept in
// the XML file "QWDNAA.<initials>" (created from and merged with the master
// "QWDNAA.xxx"), with the user's saved answers. Asking a question by name
// either returns the saved answer or shows the message box with the
// "Do not ask again" check box and records what the user chose.
// windows.h first: its MessageBox macro names the member consistently.
#include <windows.h>

#include <cstdarg>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// One argument of a question's text: its format is read from the user's
// file, so arguments are typed and checked against the directives.
struct DnaaArg {
    enum Kind { kInt, kStr } kind;
    long long i = 0;
    const char* s = nullptr;
    DnaaArg(int v) : kind(kInt), i(v) {}
    DnaaArg(unsigned v) : kind(kInt), i(v) {}
    DnaaArg(long v) : kind(kInt), i(v) {}
    DnaaArg(const char* v) : kind(kStr), s(v) {}
    DnaaArg(const std::string& v) : kind(kStr), s(v.c_str()) {}
};

// Formats `format` with the program's formatter, one directive at a time:
// %s takes a string argument, %c %d %u %x a number; a missing argument or
// one of the other kind is given as an empty text or 0 (and logged), never
// read from nowhere. At most `size` - 1 characters.
std::string DnaaFormat(const char* format, const DnaaArg* args, int count, size_t size = 10240);

// Shows a box: `check_caption` null means no check box, "" the box's own
// caption; *checked in: initial state, out: the state when it closed.
// Returns the button.
using QwDnaaBoxFn = int (*)(const char* caption, const char* text, unsigned style,
                            const char* check_caption, int* checked);
// Shows a text on the status bar as a full-width message.
using QwDnaaStatusFn = void (*)(const char* text);
// Installs the box and status-bar functions (null: the controls library's
// box, the main frame's status bar).
void QwSetDnaaOutlets(QwDnaaBoxFn box, QwDnaaStatusFn status);

class CDNAA_MsgBox_Impl;

class CDNAA_MsgBox {
public:
    CDNAA_MsgBox(const char* path, const char* master_path, const char* language, bool show_errors,
                 bool reopen_every_call, bool save_immediately);
    virtual ~CDNAA_MsgBox();
    CDNAA_MsgBox(const CDNAA_MsgBox&) = delete;
    CDNAA_MsgBox& operator=(const CDNAA_MsgBox&) = delete;

    bool EnsureOpen();
    // -2 store unusable, -3 no such message (or empty text); else the
    // button pressed or the saved answer.
    int MessageBox(const char* name, const DnaaArg* args, int count);
    int SetAskAgain(const char* name, const char* filter_attr, const char* filter_value,
                    bool include_hidden_prompts, bool ask_again, bool save_now);
    // -2 not open, -3 missing; 1 with the formatted text.
    int GetMessageText(std::string* out, const char* name, const DnaaArg* args, int count);
    int Save();
    // The setup dialog (template 2100): 1 when closed with OK.
    int ShowSetupDialog(HWND parent);

    // The setup dialog's rows: every message with a prompt shown and a
    // check box, in document order; `checked` is "ask again".
    struct SetupRow {
        std::string id, prompt;
        int image;  // 0 stop, 1 question, 2 exclamation, 3 information
        bool checked;
    };
    std::vector<SetupRow> GetSetupRows();
    // Applies the rows' check states; saves when anything changed.
    void ApplySetupRows(const std::vector<SetupRow>& rows);

    int open_status() const { return open_status_; }
    int save_status() const { return save_status_; }
    bool changed() const { return changed_; }

private:
    std::unique_ptr<CDNAA_MsgBox_Impl> impl_;
    // One lock across each lookup, update and save; never held while a box shows.
    std::recursive_mutex lock_;
    int open_status_ = 0;
    int save_status_ = 1;
    std::string path_, master_path_, language_;
    bool show_open_error_, show_master_error_, show_save_error_;
    bool reopen_;
    bool save_immediately_;
    bool changed_ = false;
};

// The process's store (owned by the main frame; null before it exists).
void DNAA_SetStore(CDNAA_MsgBox* store);
CDNAA_MsgBox* DNAA_GetStore();
// Creates the process's store from the store name (string 6980): copies the
// master when the user's copy is missing, re-enables the messages flagged
// "setaaonappstart". `user_path` and `master_path` are the two files.
std::unique_ptr<CDNAA_MsgBox> DNAA_CreateStore(const char* user_path, const char* master_path);

// Asks a named question of the process's store: -2 no store, -3 missing.
int DNAA_MessageBoxByName(const char* name, const DnaaArg* args = nullptr, int count = 0);
// The hook other modules install: asks by name with typed arguments.
using QwDnaaAskFn = int (*)(const char* name, const DnaaArg* args, int count);
int DNAA_Ask(const char* name, const DnaaArg* args, int count);

// The named-question hook of the document side: with a key, the stored
// question of that name (-2 no store, -3 no such message: the caller's
// default then); without one, a Yes/No question of `caption` and `text`.
int DNAA_AskNamedHook(const char* key, const char* caption, const char* text);

// Entity expansion of a stored text (exposed for its tests): `entities` is
// the DOCTYPE's internal subset. Bounded: at most 64 replacements and
// `max_len` characters; beyond that the rest stays as written.
std::string DnaaExpandEntities(const std::string& text, const std::string& doctype,
                               size_t max_len = 16384);
// A flag list's value against "MsgBoxConstants"-style pairs (exposed for tests).
unsigned DnaaParseInt(const char* text);
