#include "framework/fwgdi.h"

namespace fw {

void DC::FillSolidRect(const RECT& r, COLORREF c) const {
    COLORREF old = ::SetBkColor(h_, c);
    ::ExtTextOutA(h_, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
    ::SetBkColor(h_, old);
}

PaintDC::PaintDC(HWND hwnd) : hwnd_(hwnd) { h_ = ::BeginPaint(hwnd, &ps_); }

PaintDC::~PaintDC() {
    if (h_) ::EndPaint(hwnd_, &ps_);
}

MemoryDC::MemoryDC(HDC like, int width, int height) : width_(width), height_(height) {
    h_ = ::CreateCompatibleDC(like);
    if (h_ && width > 0 && height > 0) {
        bitmap_.Reset(::CreateCompatibleBitmap(like, width, height));
        if (bitmap_) old_ = ::SelectObject(h_, bitmap_.get());
    }
}

MemoryDC::~MemoryDC() {
    if (!h_) return;
    if (old_) ::SelectObject(h_, old_);
    ::DeleteDC(h_);
}

bool MemoryDC::BlitTo(HDC target, int x, int y) const {
    return h_ && bitmap_ && ::BitBlt(target, x, y, width_, height_, h_, 0, 0, SRCCOPY) != 0;
}

PrinterDC::PrinterDC(const char* driver, const char* device, const DEVMODEA* mode)
    : DC(::CreateDCA(driver, device, nullptr, mode), true) {}

} // namespace fw
