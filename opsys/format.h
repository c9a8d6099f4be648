#pragma once
// The program's own small printf-like formatter, used for every message text.
//
// Directives: %c %d %u %x %s, each with an optional "-" (left alignment) and a
// decimal width ("0" first fills with zeros); %j (continue after the text
// already in the output array); %a %b %h %w (no output, result flags);
// %n %k %e (no output); %% (a percent sign). Any other directive is copied.
#include <cstdarg>
#include <cstddef>

enum : unsigned {
    QW_FMT_JOIN = 0x10,          // %j
    QW_FMT_STATUS_FRESH = 0x2000, // %w: status-bar style; box allowed while another shows
    QW_FMT_STATUS_HOLD = 0x4000,  // %h: status-bar style
    QW_FMT_BEEP_WARN = 0x10000,   // %a
    QW_FMT_BEEP = 0x20000,        // %b
};

// Formats into out, an array of `size` bytes: at most size - 1 characters and
// always a terminator (nothing is written when size is 0). A field that does
// not fit in the remaining space ends the output there. Returns the OR of the
// directives' result flags.
unsigned format_str(char* out, size_t size, const char* format, va_list args);
unsigned format_strf(char* out, size_t size, const char* format, ...);

// format_str into out (size bytes, at most 1024 used); returns the length of
// the result, -1 when out or format is missing.
int str_printf(char* out, size_t size, const char* format, ...);
// The same with the format loaded from the string table (at most 1024 characters).
int str_printf_id(char* out, size_t size, unsigned id, ...);
