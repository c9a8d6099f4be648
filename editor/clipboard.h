#pragma once
// The clipboard side of copy, cut and paste: the scrap buffer "Scrap" that
// holds the editor's clipboard text (its user value the selection style,
// its final-line-break flag whether the text ends with a line break), the
// standard text format and the private format "Nask Text Format", whose
// data begins with the header line "Sel_Style=%d,how=%d\r\n" so a column or
// line block pastes back as one.
#include <windows.h>

#include <string>

struct VMB;

UINT RegisterTextFormat();
// The scrap buffer, made on first use.
VMB* ScrapBuffer();
// Replaces the scrap by `text` (split at line breaks) with its style.
VMB* SetScrapText(const std::string& text, int style);
// The same for any buffer (a named buffer of the editing programs).
VMB* SetBufferText(VMB* buffer, const std::string& text, int style);
// Puts text of a style on the clipboard (standard format, and the private
// one for texts below 1000000 characters) and into the scrap. False when
// the clipboard cannot be opened or has no memory (message 67).
bool PutTextOnClipboard(HWND owner, const std::string& text, int style, int how);
// Reads the clipboard: the private format when present (style from its
// header), else the standard text (style 0). The text ends at the data's
// end or its first zero byte. False when the clipboard holds no text.
bool GetTextFromClipboard(HWND owner, std::string* text, int* style);
// Parses a private-format block: the style (0 when the header is missing
// or malformed) and where the text begins.
int ParsePrivateHeader(const char* data, size_t size, size_t* text_start);
