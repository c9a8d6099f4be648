#pragma once
// Loading files into buffers and saving buffers to files.
//
// A file is loaded lazily: a buf_stream is attached to the buffer, and lines
// are read from it only when a line beyond those read is asked for
// (vm_map_line reads at least a thousand more) or when the document read
// thread asks for the next block (vm_read_lines, declared in vm.h). Each
// loaded line's tag is its line number in the file.
//
// Saving writes a range of a buffer, or the whole buffer, with an optional
// ".BAK" backup and an optional temporary name renamed over the target at
// the end, and returns result bits (0 = success).
#include <cstdint>

#include "VmEngine/vm.h"

// vmb_save flags.
enum : uint32_t {
    VMB_SAVE_ALL = 0x1,        // whole buffer; the unread rest of the file follows
    VMB_SAVE_TEMP_ONLY = 0x2,  // (with 0x8) write only the temporary copy; no backup
    VMB_SAVE_NO_BACKUP = 0x4,
    VMB_SAVE_TEMP_NAME = 0x8,  // write a temporary name, rename it over the target
    VMB_SAVE_FORCE = 0x10,     // write even when unchanged; state flags stay
    VMB_SAVE_KEEP_OPEN = 0x20, // leave the output stream open
};

// vmb_save result bits; 0x1 and 0x2 are warnings, 0xFFF0 failures.
enum : uint32_t {
    VMB_SR_BAK_RENAME = 0x1,
    VMB_SR_BAK_DELETE = 0x2,
    VMB_SR_BAD_BUFFER = 0x10,
    VMB_SR_BAD_PATH = 0x20,
    VMB_SR_NO_TEMP_NAME = 0x40,
    VMB_SR_CREATE = 0x80,
    VMB_SR_LINE = 0x100,
    VMB_SR_CLOSE = 0x200,
    VMB_SR_WRITE = 0x400,
    VMB_SR_TARGET_DELETE = 0x800,
    VMB_SR_TEMP_RENAME = 0x1000,
    VMB_SR_TARGET_BAK = 0x2000,
    VMB_SR_FAILURES = 0xFFF0,
};

// Opens a buf_stream with an fopen-like mode and attaches it (type bit 0x10).
// 1, or 0 when the file cannot be opened.
int vmb_Stream_Open(VMB* buffer, const char* path, const char* mode);
// The same with numeric access and share bits; *error gets the system error.
int vmb_Stream_OpenEx(VMB* buffer, const char* path, uint32_t access, int* error);
int vmb_has_stream(VMB* buffer);
// Frees the attached stream's buffer memory but keeps the stream.
int vmb_stream_reset(VMB* buffer);

// Writes lines from_line..to_line (columns: from_col on the first line,
// to_col on the last, -1/-3 = end of line) to path; returns result bits.
// temp_out and bak_out (VM_NAME_MAX + 1 bytes each) are optional.
uint32_t vmb_save(const char* path, char* temp_out, char* bak_out, VMB* buffer, int from_line,
                  int from_col, int to_line, int to_col, uint32_t flags);
// 1 unless a temporary copy exists, nothing changed since the last write and
// flag 0x10 is clear.
int vmb_save_needed(VMB* buffer, uint32_t flags);
// Deletes the recorded temporary copy (when asked) and forgets it.
int vmb_backup_cleanup(VMB* buffer, int del);
// op 0 copies the recorded temporary-copy name into text (VM_NAME_MAX + 1
// bytes; empty when none) and returns 1 when one is recorded; op 1 records
// text (null or empty forgets it).
int vmb_path_record(VMB* buffer, int op, char* text);

// Called (under the lock) when a buffer's file has been read to its end;
// the document layer installs it to tell its views. Returns the previous.
using VmEofNotice = void (*)(VMB* buffer);
VmEofNotice vm_set_eof_notice(VmEofNotice fn);
