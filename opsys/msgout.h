#pragma once
// The one message function of the program and its relatives: message boxes
// with a re-entry guard, the quiet level, beeps, the debug log
// "qw_dbg.log" and the string-resource loader.
#include <cstddef>
#include <cstdint>

#include "opsys/format.h"
#include "opsys/shell_outlets.h"

// MsgOut flags (the low 16 bits; the high 16 bits are the box's style bits,
// or the output tab's kind with QW_MSG_OUTPUT).
enum : unsigned {
    QW_MSG_ID = 0x1,           // the message argument is a string-table identifier
    QW_MSG_TIP = 0x2,          // tip at a screen point
    QW_MSG_STATUS = 0x4,       // status bar
    QW_MSG_STATUS_HOLD = 0x8,  // status bar with the style bits 0x6000
    QW_MSG_BOX = 0x10,         // message box
    QW_MSG_LOG = 0x20,         // debug log
    QW_MSG_OUTPUT = 0x40,      // output tab of the kind in the high 16 bits
    QW_MSG_TIP_DIALOG = 0x100, // tip at the active dialog's current control
    QW_MSG_TIP_CARET = 0x200,  // tip at the caret of the current text view
    QW_MSG_INFO = 0x400,       // box with the information icon
    QW_MSG_CAPTION = 0x800,    // the message argument is a caption; the text follows
    QW_MSG_VERSION = 0x1000,   // box captioned with the version text
    QW_MSG_NESTED = 0x2000,    // box allowed while another shows
    QW_MSG_SERIOUS = 0x4000,   // serious error
};

// Message-box styles and answers (the platform's values).
enum : unsigned {
    QW_MB_OK = 0x0,
    QW_MB_YESNO = 0x4,
    QW_MB_ICONERROR = 0x10,
    QW_MB_ICONQUESTION = 0x20,
    QW_MB_ICONWARNING = 0x30,
    QW_MB_ICONINFORMATION = 0x40,
    QW_MB_DEFBUTTON2 = 0x100,
    QW_MB_SETFOREGROUND = 0x10000,
    QW_IDYES = 6,
    QW_IDNO = 7,
};

// String identifiers of these services.
enum : unsigned {
    QW_IDS_APP_SHORT_NAME = 1,
    QW_IDS_RECURSIVE_ERROR = 304,
    QW_IDS_SERIOUS_NOTICE = 1400,
    QW_IDS_FIRST_ENCIPHERED = 32512,
};

// A string-table identifier passed where MsgOut takes its message (with QW_MSG_ID).
inline const char* QwMsgId(unsigned id) {
    return reinterpret_cast<const char*>(static_cast<uintptr_t>(id));
}

// Formats the message and sends it to the outlets the flags choose. Returns
// the box's button for a box, 1 when there was no text or no box, 0 when
// nothing could be shown.
int MsgOut(unsigned flags, const char* message, ...);
int MsgOutV(unsigned flags, const char* message, va_list args);
// MsgOut with the text always loaded from the string table.
int MsgOutId(unsigned flags, unsigned id, ...);
// As MsgOutId, with the screen point at which a tip is placed.
int MsgOutEx(const QwPoint& point, unsigned flags, unsigned id, ...);
// The outlet dispatcher behind them (text already formatted).
int ShowMessage(unsigned flags, const char* caption, const char* text,
                unsigned format_flags, unsigned id, const QwPoint* point);

// A box with the exclamation icon, subject to the quiet level.
int MsgWarn(const char* format, ...);
int MsgWarnId(unsigned id, ...);
// A Yes/No box with the question icon; 1 when the user answers Yes.
int MsgAsk(int default_yes, const char* caption, const char* format, ...);
// caption_id -1 means no caption; 0 without asking when a string cannot be loaded.
int MsgAskId(int default_yes, int caption_id, unsigned text_id, ...);

// Returns the current quiet level; sets it when level is 0 or more.
int MsgQuietLevel(int level);

// The message box with its re-entry guard (flags: 0x2000 allows nesting,
// 0x10000 / 0x20000 beep). -1 when refused by the guard.
int QwMessageBox(const char* caption, const char* text, unsigned style, unsigned flags);
// The number of boxes showing right now.
int QwMessageBoxDepth();
// Beep of a kind (0x10000 exclamation, 0x20000 default, 0x40000 question,
// 0x80000 asterisk, other: error), only while beeping is on.
void MsgBeep(unsigned kind);

// Appends text and CR LF to the debug log.
void DebugLog(const char* text);
void DebugLogF(const char* format, ...);
// Where the debug log goes (null: "qw_dbg.log" in the program's folder, or
// in the temporary folder when that cannot be written).
void DebugLogSetPath(const char* path);

// Copies string `id` into out (at most size - 1 characters); its length, 0
// when missing (reported with a box).
int LoadAppString(unsigned id, char* out, int size);
// Copies data resource `id` into out when it fits; *size becomes the
// resource's size. Nonzero when copied.
int LoadRcDataResource(unsigned id, void* out, unsigned* size);

#ifndef _WIN32
// The host build has no platform message box; this function stands in for it
// (the default writes the box to stderr and answers OK).
using QwHostMessageBoxFn = int (*)(const char* text, const char* caption, unsigned style);
QwHostMessageBoxFn QwSetHostMessageBox(QwHostMessageBoxFn fn);
#endif
