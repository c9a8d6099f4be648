#pragma once
// Helpers for tests of windows under Wine's null display driver.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace qwtest {

// Pumps this thread's messages until `done` holds or `timeout_ms` passes;
// returns whether it held. Never sleeps longer than a message wait.
bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 5000);

// Dispatches whatever is queued for this thread now.
void PumpPending();

// While alive, runs `act` once on the first visible dialog window
// ("#32770") of this thread, from a timer of the modal loop that shows it:
// for dialogs that a command runs modally with no way in for the test.
class WhenDialogShows {
public:
    explicit WhenDialogShows(std::function<void(HWND dlg)> act);
    ~WhenDialogShows();
    WhenDialogShows(const WhenDialogShows&) = delete;
    WhenDialogShows& operator=(const WhenDialogShows&) = delete;
    bool done() const;

private:
    UINT_PTR timer_ = 0;
};

// Whether a window of this process holds the foreground. Tests run in
// parallel share one desktop, so another test's window can take this thread's
// focus at any moment; a check of GetFocus() means something only while this
// holds.
bool ThisProcessHasTheForeground();

// While alive, message boxes shown through QwPlatformMessageBox are recorded
// instead of shown, and answered with `answer`.
class MessageBoxRecorder {
public:
    struct Box {
        std::string text, caption;
        UINT style;
    };
    explicit MessageBoxRecorder(int answer = IDOK);
    ~MessageBoxRecorder();
    MessageBoxRecorder(const MessageBoxRecorder&) = delete;
    MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

    const std::vector<Box>& boxes() const { return boxes_; }
    void set_answer(int answer) { answer_ = answer; }

private:
    static int Show(HWND, const char* text, const char* caption, UINT style);
    std::vector<Box> boxes_;
    int answer_;
    void* previous_;
};

// A 32-bit top-down DIB section selected into a memory DC: draw with dc(),
// read exact pixels back with pixel().
class DibCanvas {
public:
    DibCanvas(int width, int height, COLORREF fill = RGB(255, 255, 255));
    ~DibCanvas();
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    HDC dc() const { return dc_; }
    int width() const { return width_; }
    int height() const { return height_; }
    // The colour at (x, y) as a COLORREF (GDI has flushed when this returns).
    COLORREF pixel(int x, int y) const;
    // Number of pixels whose colour is not `background`.
    int CountNot(COLORREF background) const;

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ old_ = nullptr;
    const DWORD* bits_ = nullptr;
    int width_, height_;
};

} // namespace qwtest
