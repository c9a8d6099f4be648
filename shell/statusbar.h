#pragma once
// The main frame's status bar: eleven panes (typing mode and messages, wrap
// and macro flags, clock or selection size, line, column, modified mark,
// path), each with a tooltip and a click action, and a full-width message
// ("simple mode") for a message that does not fit its pane, which the next
// key or click ends. Any thread may set texts: other threads post their
// request (0x464) and the bar's own thread applies it.
#include <windows.h>

#include <string>
#include <vector>

enum : int {
    kPaneGap0 = 43536,
    kPaneMode = 43537,   // typing mode, and the message pane
    kPaneFlags = 43538,
    kPaneGap1 = 43539,
    kPaneClock = 43540,
    kPaneGap2 = 43541,
    kPaneLine = 43542,
    kPaneColumn = 43543,
    kPaneGap3 = 43544,
    kPaneModified = 43545,
    kPanePath = 43546,
};

struct QwPaneSpec {
    int id;
    int min_width;
    int chars;
    unsigned style;  // 0x100 no borders, 0x8000000 stretch
    unsigned flags;
};
// The pane table (ends with id -1); the clock pane's character count is
// set at creation.
const QwPaneSpec* QwStatusPaneTable();

// Draw flags of Bar_SetPaneText.
enum : unsigned {
    kSbApplyNow = 0x1,
    kSbApplyIfChanged = 0x2,
    kSbMeasure = 0x4,
    kSbAppend = 0x10,
    kSbLeaveSimple = 0x100,
    kSbEnterSimple = 0x200,
};
// Result bit: the text is wider than its pane.
enum : int { kSbTooWide = 4 };

// What the panes show about the active view (filled by the view side).
struct QwStatusViewInfo {
    bool has_view = false;
    bool editable = false;
    bool view_only = false;
    bool overtype = false;
    bool wraps = false;
    int macro = 0;          // 0 none, 1 recording, 2 playing
    int sel_kind = 0;       // 0 none, 1 column block, 2 lines, 3 stream
    int sel_lines = 0;      // line count (lines: end - start)
    int sel_columns = 0;
    int sel_chars = 0;      // stream within one line
    int run_offset = -1;    // character run at the caret (classes 311/312): offset, -1 none
    int run_length = 0;     // its length
    bool has_lines = false;
    unsigned line = 0, line_count = 0, column = 0;
    bool read_complete = false;
    bool edited = false, autosave = false;
    std::string path;       // the document's path, or the output tab's title
    std::string folder;     // the current folder
    std::string project;    // the open project's name, empty when none
    bool special = false;   // the view shows a special buffer: path is its file
    std::string file_date;  // a special buffer's file date, as shown
};

// The texts of the panes 43537 to 43546 for `info` (index = id - 43537);
// `clock` is the clock text. Each at most 259 characters.
std::vector<std::string> QwStatusPaneTexts(const QwStatusViewInfo& info, const std::string& clock);
// The tooltip of pane `id` for `info` (empty: no tip).
std::string QwStatusTooltipText(int id, const QwStatusViewInfo& info);
// Time in the user's format, two spaces, short date.
std::string QwStatusClockText();

class QWCustomStatusBar {
public:
    QWCustomStatusBar();
    ~QWCustomStatusBar();
    QWCustomStatusBar(const QWCustomStatusBar&) = delete;
    QWCustomStatusBar& operator=(const QWCustomStatusBar&) = delete;

    bool Create(HWND parent, const QwPaneSpec* table);
    HWND hwnd() const { return wnd_; }

    // 0 invalid index; 1 unchanged or no text; 2 changed; + 4 when too wide.
    int Bar_SetPaneText(const char* text, int index, unsigned draw, int colour);
    // 1 enter, 0 leave, -1 ask; whether simple mode is on.
    bool Bar_Simple(int mode, int id);
    void SetPaneTextAt(int index, const char* text, bool update);
    unsigned SetFlag(int mode, unsigned bits);
    void FilterMessage(const MSG* msg);

    int CommandToIndex(int id) const;
    int PaneCount() const { return int(panes_.size()); }
    std::string PaneText(int index) const;
    COLORREF PaneTextColour(int index) const;
    COLORREF PaneBackColour(int index) const;
    int PaneWidth(int index) const;
    RECT PaneRect(int index) const;
    int HitTest(POINT client) const;
    bool InSimpleMode() const { return simple_ != nullptr; }
    std::string SimpleText() const;
    // Width in pixels of `text` in the bar's font.
    int TextWidth(const std::string& text) const;

    // The frame's pane update (nothing while simple mode is on).
    void UpdatePanes(const QwStatusViewInfo& info);
    // The tooltip control: one tool a pane, whose text is asked for when
    // the tip shows.
    HWND TooltipWindow() const { return tips_; }

private:
    struct Pane {
        int id = 0;
        unsigned style = 0;
        int width = 0;
        std::string text;
        COLORREF fg = 0, bg = 0;
        unsigned flags = 0;  // 0x8 text, 0x20 text colour, 0x40 background
    };
    static LRESULT CALLBACK Proc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp);
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp);
    void Layout();
    void Paint(HDC dc);
    void DrawPane(HDC dc, const Pane& p, RECT rc);
    void UpdateTools();
    LRESULT OnTipText(NMHDR* hdr);

    HWND wnd_ = nullptr;
    HFONT font_ = nullptr;
    int avg_char_ = 7;
    std::vector<Pane> panes_;
    std::vector<RECT> rects_;
    Pane* simple_ = nullptr;
    unsigned state_ = 0;  // bit 1: a message shows in the message pane
    HWND tips_ = nullptr;
    // The text of the tip showing, kept until the next one is asked for.
    std::string tip_;
    std::wstring wtip_;
};

// Creates the frame's status bar (the main frame's seam); false on failure.
bool QwCreateStatusBar(HWND frame);
QWCustomStatusBar* QwGetStatusBar();
void QwDestroyStatusBar();
// The message outlets for QwShellOutlets (status_set_text, status_reset,
// status_bar_window) and the store's status-bar answer.
void QwStatusSetTextOutlet(const char* text, int pane, unsigned style, unsigned flash);
void QwStatusResetOutlet();
void* QwStatusBarWindowOutlet();
void QwStatusShowMessage(const char* text);
// The main frame's message filter seam.
bool QwStatusFilter(MSG* msg);

// Where the panes' contents and clicks go (filled by the view side and the
// frame): the view info for the timer's update; a click on a pane (id;
// right button) runs its command.
struct QwStatusHooks {
    bool (*view_info)(QwStatusViewInfo* info) = nullptr;
    void (*pane_click)(int id, bool right) = nullptr;
    // The tip of a pane; null: QwStatusTooltipText over view_info.
    std::string (*tooltip)(int id) = nullptr;
};
void QwSetStatusHooks(const QwStatusHooks& hooks);
