#include "tests/support/win_test.h"

#include "opsys/msgbox_backend.h"

namespace qwtest {

bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms) {
    DWORD start = GetTickCount();
    for (;;) {
        PumpPending();
        if (done()) return true;
        DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeout_ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeout_ms - elapsed, QS_ALLINPUT);
    }
}

namespace {
std::function<void(HWND)> g_dialog_act;
bool g_dialog_done = false;

BOOL CALLBACK FindDialog(HWND w, LPARAM out) {
    char cls[16] = "";
    GetClassNameA(w, cls, sizeof cls);
    if (lstrcmpA(cls, "#32770") != 0 || !IsWindowVisible(w)) return TRUE;
    *reinterpret_cast<HWND*>(out) = w;
    return FALSE;
}

void CALLBACK DialogTimer(HWND, UINT, UINT_PTR timer, DWORD) {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindDialog, reinterpret_cast<LPARAM>(&found));
    if (!found || g_dialog_done || !g_dialog_act) return;
    KillTimer(nullptr, timer);
    g_dialog_done = true;
    g_dialog_act(found);
}
}  // namespace

WhenDialogShows::WhenDialogShows(std::function<void(HWND)> act) {
    g_dialog_act = std::move(act);
    g_dialog_done = false;
    timer_ = SetTimer(nullptr, 0, 20, DialogTimer);
}

WhenDialogShows::~WhenDialogShows() {
    KillTimer(nullptr, timer_);
    g_dialog_act = nullptr;
}

bool WhenDialogShows::done() const { return g_dialog_done; }

void PumpPending() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

bool ThisProcessHasTheForeground() {
    HWND fg = GetForegroundWindow();
    DWORD pid = 0;
    if (fg) GetWindowThreadProcessId(fg, &pid);
    return fg && pid == GetCurrentProcessId();
}

namespace {
MessageBoxRecorder* g_recorder = nullptr;
}

MessageBoxRecorder::MessageBoxRecorder(int answer) : answer_(answer) {
    previous_ = reinterpret_cast<void*>(QwSetMessageBoxBackend(&MessageBoxRecorder::Show));
    g_recorder = this;
}

MessageBoxRecorder::~MessageBoxRecorder() {
    g_recorder = nullptr;
    QwSetMessageBoxBackend(reinterpret_cast<QwMessageBoxBackend>(previous_));
}

int MessageBoxRecorder::Show(HWND, const char* text, const char* caption, UINT style) {
    if (!g_recorder) return IDCANCEL;
    g_recorder->boxes_.push_back({text ? text : "", caption ? caption : "", style});
    return g_recorder->answer_;
}

DibCanvas::DibCanvas(int width, int height, COLORREF fill) : width_(width), height_(height) {
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;  // top-down
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    dc_ = CreateCompatibleDC(nullptr);
    bitmap_ = CreateDIBSection(dc_, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    bits_ = static_cast<const DWORD*>(bits);
    old_ = SelectObject(dc_, bitmap_);
    RECT r{0, 0, width, height};
    HBRUSH brush = CreateSolidBrush(fill);
    FillRect(dc_, &r, brush);
    DeleteObject(brush);
}

DibCanvas::~DibCanvas() {
    if (dc_) {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    if (bitmap_) DeleteObject(bitmap_);
}

COLORREF DibCanvas::pixel(int x, int y) const {
    GdiFlush();
    DWORD v = bits_[static_cast<size_t>(y) * width_ + x];
    // DIB pixels are 0x00RRGGBB; COLORREF is 0x00BBGGRR.
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

int DibCanvas::CountNot(COLORREF background) const {
    int n = 0;
    for (int y = 0; y < height_; ++y)
        for (int x = 0; x < width_; ++x)
            if (pixel(x, y) != background) ++n;
    return n;
}

} // namespace qwtest
