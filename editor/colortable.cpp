// The colour table and the default scheme (see colortable.h).
#include "editor/colortable.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace {

// Read by both painters, written by the setter: each word on its own.
struct Entry {
    std::atomic<uint32_t> colour{0};
    std::atomic<uint32_t> switches{0};
};
Entry g_table[QW_COLOUR_ENTRIES];

bool IsSelectionKind(int k) { return k >= QW_KIND_SEL_STREAM && k <= QW_KIND_MARKED; }

} // namespace

int ColourTableEntry(int op, int n, const char* colour_text, uint32_t switches,
                     QwColourEntry* out) {
    if (n < 0 || n >= QW_COLOUR_ENTRIES)
        return 0;
    if (op == 1) {
        if (!colour_text || !*colour_text)
            return 0;
        char* end = nullptr;
        unsigned long long v = std::strtoull(colour_text, &end, 10);
        if (*end || v > 0xFFFFFFull || colour_text[0] == '-' || colour_text[0] == '+')
            return 0;
        g_table[n].colour.store(uint32_t(v));
        g_table[n].switches.store(switches);
        return 1;
    }
    if (out) {
        out->colour = g_table[n].colour.load();
        out->switches = g_table[n].switches.load();
    }
    return 1;
}

void ClearColourTable() {
    for (Entry& e : g_table) {
        e.colour.store(0);
        e.switches.store(0);
    }
}

uint32_t ColourOfKind(int kind, const QwWindowColours& window, uint32_t* text,
                      bool* default_back) {
    bool valid = kind >= 0 && kind <= QW_KIND_WHOLE_LINE && kind % 2 == 0;
    uint32_t fg = valid && IsSelectionKind(kind) ? window.highlight_text : window.text;
    uint32_t bg = valid && (IsSelectionKind(kind) || kind == QW_KIND_TEXTBAR_CARET)
                      ? window.highlight
                      : window.back;
    bool own_back = false;
    if (valid) {
        if (g_table[kind].switches.load() & QW_CSW_TEXT)
            fg = g_table[kind].colour.load();
        if (g_table[kind + 1].switches.load() & QW_CSW_BACK) {
            bg = g_table[kind + 1].colour.load();
            own_back = true;
        }
    }
    if (text)
        *text = fg;
    if (default_back)
        *default_back = !own_back;
    return bg;
}

int TokenColourKind(int code) {
    return code >= 300 && code <= 334 ? 2 * (code - 300) : 0;
}

uint32_t GreyOf(uint32_t c) {
    uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
    uint32_t y = (30 * r + 59 * g + 11 * b) / 100;
    return y | (y << 8) | (y << 16);
}

namespace {

constexpr uint32_t Rgb(uint32_t r, uint32_t g, uint32_t b) { return r | (g << 8) | (b << 16); }

void Set(int entry, uint32_t colour, uint32_t sw) {
    char text[16];
    std::snprintf(text, sizeof text, "%u", unsigned(colour));
    ColourTableEntry(1, entry, text, sw, nullptr);
}
void SetText(int kind, uint32_t colour) { Set(kind, colour, QW_CSW_TEXT); }
void SetBack(int kind, uint32_t colour) { Set(kind + 1, colour, QW_CSW_BACK); }

} // namespace

void ApplyDefaultColourScheme() {
    // Every text colour here keeps a contrast of at least 4.5:1 on white.
    const uint32_t comment = Rgb(0, 120, 0);
    for (int k = QW_KIND_COMMENT; k <= 14; k += 2) // the language's comment tokens
        SetText(k, comment);
    SetText(QW_KIND_DIRECTIVE, Rgb(128, 0, 128));
    SetText(QW_KIND_STRING, Rgb(163, 21, 21));
    SetText(QW_KIND_CHAR, Rgb(163, 21, 21));
    for (int k = QW_KIND_NUMBER; k <= 34; k += 2)
        SetText(k, Rgb(0, 110, 110));
    SetText(QW_KIND_TYPE, Rgb(0, 90, 140));
    SetText(QW_KIND_KEYWORD, Rgb(0, 0, 220));
    SetText(QW_KIND_LABEL, Rgb(140, 70, 0));
    SetText(QW_KIND_MALFORMED, Rgb(200, 0, 0));
    static const uint32_t user[10] = {
        Rgb(0, 0, 160),  Rgb(128, 0, 64), Rgb(0, 100, 60), Rgb(120, 60, 0), Rgb(90, 0, 150),
        Rgb(0, 80, 120), Rgb(150, 0, 0),  Rgb(70, 70, 0),  Rgb(0, 0, 110),  Rgb(100, 40, 100)};
    for (int i = 0; i < 10; ++i)
        SetText(QW_KIND_USER + 2 * i, user[i]);
    // Selections: dark text on light blues, so every token stays readable.
    SetText(QW_KIND_SEL_STREAM, Rgb(0, 0, 0));
    SetBack(QW_KIND_SEL_STREAM, Rgb(173, 214, 255));
    SetText(QW_KIND_SEL_LINE, Rgb(0, 0, 0));
    SetBack(QW_KIND_SEL_LINE, Rgb(173, 214, 255));
    SetText(QW_KIND_SEL_COLUMN, Rgb(0, 0, 0));
    SetBack(QW_KIND_SEL_COLUMN, Rgb(190, 225, 200));
    SetText(QW_KIND_MARKED, Rgb(0, 0, 0));
    SetBack(QW_KIND_MARKED, Rgb(255, 235, 140));
    // The text bar: grey numbers on a light grey margin; the caret line darker.
    SetText(QW_KIND_TEXTBAR, Rgb(96, 96, 96));
    SetBack(QW_KIND_TEXTBAR, Rgb(236, 236, 236));
    SetText(QW_KIND_TEXTBAR_CARET, Rgb(0, 0, 0));
    SetBack(QW_KIND_TEXTBAR_CARET, Rgb(208, 208, 208));
}
