#pragma once
// Drawing: device contexts, GDI objects and geometry helpers, all thin RAII
// owners of the Win32 handles.
//
//   fw::PaintDC dc(hwnd);                       // BeginPaint/EndPaint
//   fw::Font font(CreateFontIndirectA(&lf));    // deletes the font
//   fw::SelectObject keep(dc, font);            // selects, restores on scope end
//   fw::Rect r = fw::Rect::Client(hwnd);  r.Deflate(2, 2);
//   fw::MemoryDC mem(dc, r.Width(), r.Height()); ... mem.BlitTo(dc, 0, 0);
//
// A DC says whether it draws for a printer (is_printing), so that views
// paint the same code to the screen and to paper.
#include <windows.h>

#include <utility>

#include "framework/fwexport.h"

namespace fw {

struct Point : POINT {
    Point() : POINT{0, 0} {}
    Point(LONG px, LONG py) : POINT{px, py} {}
    Point(const POINT& p) : POINT(p) {}
    bool operator==(const Point& o) const { return x == o.x && y == o.y; }
};

struct Size : SIZE {
    Size() : SIZE{0, 0} {}
    Size(LONG w, LONG h) : SIZE{w, h} {}
    Size(const SIZE& s) : SIZE(s) {}
    bool operator==(const Size& o) const { return cx == o.cx && cy == o.cy; }
};

struct Rect : RECT {
    Rect() : RECT{0, 0, 0, 0} {}
    Rect(LONG l, LONG t, LONG r, LONG b) : RECT{l, t, r, b} {}
    Rect(const RECT& r) : RECT(r) {}
    static Rect Client(HWND hwnd) {
        Rect r;
        ::GetClientRect(hwnd, &r);
        return r;
    }
    static Rect Window(HWND hwnd) {
        Rect r;
        ::GetWindowRect(hwnd, &r);
        return r;
    }
    LONG Width() const { return right - left; }
    LONG Height() const { return bottom - top; }
    Size GetSize() const { return Size(Width(), Height()); }
    Point TopLeft() const { return Point(left, top); }
    Point BottomRight() const { return Point(right, bottom); }
    Point CenterPoint() const { return Point((left + right) / 2, (top + bottom) / 2); }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(POINT p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    void Offset(LONG dx, LONG dy) { ::OffsetRect(this, dx, dy); }
    void Inflate(LONG dx, LONG dy) { ::InflateRect(this, dx, dy); }
    void Deflate(LONG dx, LONG dy) { ::InflateRect(this, -dx, -dy); }
    bool Intersect(const RECT& a, const RECT& b) { return ::IntersectRect(this, &a, &b) != 0; }
    bool Union(const RECT& a, const RECT& b) { return ::UnionRect(this, &a, &b) != 0; }
    bool operator==(const Rect& o) const { return ::EqualRect(this, &o) != 0; }
};

// An owned GDI object of one kind (deleted when the owner goes).
template <class H>
class GdiObject {
public:
    GdiObject() = default;
    explicit GdiObject(H h) : h_(h) {}
    ~GdiObject() { Reset(); }
    GdiObject(GdiObject&& o) noexcept : h_(std::exchange(o.h_, nullptr)) {}
    GdiObject& operator=(GdiObject&& o) noexcept {
        if (this != &o) {
            Reset();
            h_ = std::exchange(o.h_, nullptr);
        }
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    H get() const { return h_; }
    operator H() const { return h_; }
    explicit operator bool() const { return h_ != nullptr; }
    void Reset(H h = nullptr) {
        if (h_) ::DeleteObject(h_);
        h_ = h;
    }
    H Release() { return std::exchange(h_, nullptr); }

private:
    H h_ = nullptr;
};

using Font = GdiObject<HFONT>;
using Pen = GdiObject<HPEN>;
using Brush = GdiObject<HBRUSH>;
using Bitmap = GdiObject<HBITMAP>;
using Region = GdiObject<HRGN>;
using Palette = GdiObject<HPALETTE>;

// A device context that this object does not own (a view's OnDraw gets one).
class QWFW_API DC {
public:
    DC() = default;
    explicit DC(HDC h, bool printing = false) : h_(h), printing_(printing) {}
    virtual ~DC() = default;
    DC(const DC&) = delete;
    DC& operator=(const DC&) = delete;

    HDC get() const { return h_; }
    operator HDC() const { return h_; }
    bool is_printing() const { return printing_; }
    void set_printing(bool on) { printing_ = on; }

    Rect GetClipBox() const {
        Rect r;
        ::GetClipBox(h_, &r);
        return r;
    }
    void FillSolidRect(const RECT& r, COLORREF c) const;
    bool TextOut(int x, int y, const char* text, int n) const { return ::TextOutA(h_, x, y, text, n) != 0; }

protected:
    HDC h_ = nullptr;
    bool printing_ = false;
};

// BeginPaint ... EndPaint for one WM_PAINT.
class QWFW_API PaintDC : public DC {
public:
    explicit PaintDC(HWND hwnd);
    ~PaintDC() override;
    const PAINTSTRUCT& paint() const { return ps_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
};

// GetWindowDC (the whole window) ... ReleaseDC.
class QWFW_API WindowDC : public DC {
public:
    explicit WindowDC(HWND hwnd) : WindowDC(hwnd, true) {}
    ~WindowDC() override {
        if (h_) ::ReleaseDC(hwnd_, h_);
    }

protected:
    WindowDC(HWND hwnd, bool whole) : DC(whole ? ::GetWindowDC(hwnd) : ::GetDC(hwnd)), hwnd_(hwnd) {}

private:
    HWND hwnd_;
};

// GetDC (the client area) ... ReleaseDC.
class QWFW_API ClientDC : public WindowDC {
public:
    explicit ClientDC(HWND hwnd) : WindowDC(hwnd, false) {}
};

// A memory DC compatible with `like`, with a bitmap of the given size
// selected (no bitmap when the size is empty).
class QWFW_API MemoryDC : public DC {
public:
    MemoryDC(HDC like, int width, int height);
    ~MemoryDC() override;
    HBITMAP bitmap() const { return bitmap_.get(); }
    // Copies the whole bitmap to (x, y) of `target`.
    bool BlitTo(HDC target, int x, int y) const;

private:
    Bitmap bitmap_;
    HGDIOBJ old_ = nullptr;
    int width_, height_;
};

// A printer DC made by CreateDC; it draws for a printer.
class QWFW_API PrinterDC : public DC {
public:
    PrinterDC(const char* driver, const char* device, const DEVMODEA* mode);
    explicit PrinterDC(HDC owned) : DC(owned, true) {}
    ~PrinterDC() override {
        if (h_) ::DeleteDC(h_);
    }
};

// Selects an object into a DC for a scope, then puts the old one back.
class SelectObject {
public:
    SelectObject(HDC dc, HGDIOBJ obj) : dc_(dc), old_(::SelectObject(dc, obj)) {}
    ~SelectObject() {
        if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
    }
    SelectObject(const SelectObject&) = delete;
    SelectObject& operator=(const SelectObject&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// Saves the DC's state for a scope (SaveDC / RestoreDC).
class SavedDC {
public:
    explicit SavedDC(HDC dc) : dc_(dc), id_(::SaveDC(dc)) {}
    ~SavedDC() {
        if (id_) ::RestoreDC(dc_, id_);
    }
    SavedDC(const SavedDC&) = delete;
    SavedDC& operator=(const SavedDC&) = delete;

private:
    HDC dc_;
    int id_;
};

} // namespace fw
