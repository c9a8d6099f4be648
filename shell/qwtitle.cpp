#include "shell/qwtitle.h"

#include <shlwapi.h>

#include <cstdio>

std::string BuildFrameCaption(const QwCaptionParts& p) {
    std::string s;
    if (!p.project.empty()) s += p.project + (p.project_modified ? " *" : "") + " - ";
    s += p.document;
    if (!p.output_tab.empty()) s += " [" + p.output_tab + "]";
    if (!s.empty()) s += " - ";
    s += p.title;
    if (p.has_version) {
        char v[64];
        std::snprintf(v, sizeof v, " Ver %d.%02d.%d.%d", int(p.version_high >> 16), int(p.version_high & 0xFFFF),
                      int(p.version_low >> 16), int(p.version_low & 0xFFFF));
        s += v;
    }
    return s;
}

std::string DocumentCaptionPart(const std::string& name, int window_number, bool modified, bool view_only,
                                int compare_side, const std::string& date_text) {
    std::string s = name.substr(0, 260);
    if (window_number > 0) s += ":" + std::to_string(window_number);
    if (modified) s += " *";
    if (view_only) s += " [view] ";
    if (compare_side == QW_COMPARE_NEWER) s += " (Newer) ";
    if (compare_side == QW_COMPARE_OLDER) s += " (Older) ";
    s += date_text.substr(0, 120);
    return s;
}

std::string CompactPathForCaption(HWND frame, const std::string& path) {
    RECT rc;
    if (!GetWindowRect(frame, &rc)) return path;
    NONCLIENTMETRICSA ncm{};
    ncm.cbSize = sizeof ncm;
    SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
    int room = (rc.right - rc.left) - 2 * (GetSystemMetrics(SM_CXSIZE) + 2 * GetSystemMetrics(SM_CXFRAME) + 10);
    if (room <= 0) return path;
    char buf[MAX_PATH + 1];
    std::snprintf(buf, sizeof buf, "%s", path.c_str());
    HDC dc = GetDC(frame);
    HFONT font = CreateFontIndirectA(&ncm.lfCaptionFont);
    HGDIOBJ old = SelectObject(dc, font);
    PathCompactPathA(dc, buf, UINT(room));
    SelectObject(dc, old);
    DeleteObject(font);
    ReleaseDC(frame, dc);
    return buf;
}
