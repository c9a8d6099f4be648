#pragma once
// Colour kinds and the process-wide colour table.
//
// A colour kind is an even number 0-84. The table has 86 entries of a colour
// (0x00BBGGRR) and a switch word, all zero at start: kind k takes its text
// colour from entry k when that entry's switch has bit 0x1, and its
// background from entry k + 1 when that entry's switch has bit 0x2; without
// the switches the window colours apply (the highlight colours for the
// selection kinds 70-76, and the highlight background for kind 80).
//
// Lexical token codes 300-334 map to kind 2 * (code - 300). Portable.
#include <cstdint>

enum : int {
    QW_COLOUR_ENTRIES = 86,
    QW_CSW_TEXT = 0x1, // switch bit: the entry's colour is a text colour in force
    QW_CSW_BACK = 0x2, // switch bit: the entry's colour is a background in force
};

// The kinds the painter itself uses.
enum : int {
    QW_KIND_PLAIN = 0,
    QW_KIND_COMMENT = 2,
    QW_KIND_DIRECTIVE = 16,
    QW_KIND_BLANK = 18,
    QW_KIND_FILL = 20,      // the rest of a row after its text, with colouring on
    QW_KIND_STRING = 22,
    QW_KIND_CHAR = 24,
    QW_KIND_NUMBER = 26,    // 26-34: decimal, binary, octal, hex, real
    QW_KIND_TYPE = 36,
    QW_KIND_KEYWORD = 38,   // also the text bar's marks
    QW_KIND_TEXT = 40,      // plain words; a line drawn in one colour
    QW_KIND_LABEL = 42,
    QW_KIND_OPERATOR = 44,
    QW_KIND_MALFORMED = 46,
    QW_KIND_OTHER = 48,
    QW_KIND_USER = 50,      // 50-68: user word groups
    QW_KIND_SEL_STREAM = 70,
    QW_KIND_SEL_LINE = 72,
    QW_KIND_SEL_COLUMN = 74,
    QW_KIND_MARKED = 76,    // selection state 5; a list's marked line; comparison marks
    QW_KIND_TEXTBAR = 78,
    QW_KIND_TEXTBAR_CARET = 80,
    QW_KIND_LIST = 82,
    QW_KIND_WHOLE_LINE = 84,
};

struct QwColourEntry {
    uint32_t colour;
    uint32_t switches;
};

// Entry n (0-85): op 1 sets its colour from a decimal colour text and its
// switch word; any other op reads it into *out. 1 on success, 0 for a bad
// index or a colour text that is not a decimal number of at most 24 bits.
int ColourTableEntry(int op, int n, const char* colour_text, uint32_t switches,
                     QwColourEntry* out);
// Every entry back to zero.
void ClearColourTable();

// The window colours the defaults fall back to.
struct QwWindowColours {
    uint32_t text;
    uint32_t back;
    uint32_t highlight_text;
    uint32_t highlight;
};

// The colours of kind k: the background is returned, the text colour written
// to *text; *default_back (optional) says the background is not the kind's
// own. A kind outside 0-84 (or odd) counts as kind 40's rules without its
// entries: window colours.
uint32_t ColourOfKind(int kind, const QwWindowColours& window, uint32_t* text,
                      bool* default_back = nullptr);

// The colour kind of a token code: 2 * (code - 300) for 300-334, else 0.
int TokenColourKind(int code);

// (30 R + 59 G + 11 B) / 100 in all three channels.
uint32_t GreyOf(uint32_t colour);

// Sets the default screen scheme through the table's setter: comments,
// directives, strings, numbers, types, keywords, labels, malformed tokens,
// user groups, the selection kinds and the text bar, chosen to read well on
// a white window with black text.
void ApplyDefaultColourScheme();
