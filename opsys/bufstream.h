#pragma once
// buf_stream: the engine's own buffered byte stream over a file, with an
// fopen-like mode string. The loader reads files through it byte by byte,
// the saver writes through it, and a stream stays attached to a buffer while
// the buffer's file is read lazily.
//
// Below it sits the file-system seam (opsys/fs.h); the buf_file_* calls are
// the engine's names for it.
#include <cstdint>

#include "opsys/fs.h"

// Access and share bits of the file layer (the framework's open flags).
enum : uint32_t {
    BS_READ = FS_READ,
    BS_WRITE = FS_WRITE,
    BS_READWRITE = FS_READWRITE,
    BS_SHARE_EXCLUSIVE = FS_SHARE_EXCLUSIVE,
    BS_SHARE_DENY_WRITE = FS_SHARE_DENY_WRITE,
    BS_SHARE_DENY_READ = FS_SHARE_DENY_READ,
    BS_SHARE_DENY_NONE = FS_SHARE_DENY_NONE,
    BS_CREATE = FS_CREATE,
    BS_NO_TRUNCATE = FS_NO_TRUNCATE,
    BS_FAIL_IF_EXISTS = FS_FAIL_IF_EXISTS, // with BS_CREATE
    BS_AT_END = FS_AT_END,
};

// The file layer: the seam's calls (same contracts).
inline void* buf_file_open(const char* path, uint32_t access, int* error) { return FsOpen(path, access, error); }
inline int32_t buf_file_read(void* file, void* buf, uint32_t n) { return FsRead(file, buf, n); }
inline int32_t buf_file_write(void* file, const void* buf, uint32_t n) { return FsWrite(file, buf, n); }
inline int buf_file_seek(void* file, int64_t offset, int origin, int64_t* pos) {
    return FsSeek(file, offset, origin, pos);
}
inline int buf_file_close(void* file) { return FsClose(file); }
inline int buf_file_remove(const char* path) { return FsRemove(path); }
inline int buf_file_rename(const char* from, const char* to) { return FsRename(from, to); }
inline int buf_file_exists(const char* path) { return FsExists(path); }

// Stream flags.
enum : uint32_t {
    BS_F_DIRTY = 0x2,    // the buffer holds bytes not yet written (write mode)
    BS_F_EOF = 0x4,      // end of file or a read error
    BS_F_WERR = 0x8,     // a write failed; every later write fails
    BS_F_SEEKMARK = 0x10 // cleared by every seek
};

enum { BS_CAPACITY = 32768 };

struct buf_stream {
    unsigned char* buffer; // BS_CAPACITY bytes, or none after end of file
    unsigned char* cur;    // next byte to read, or next free byte to write
    unsigned char* end;    // end of valid bytes (read) or of the buffer (write)
    uint32_t capacity;
    uint32_t flags;
    void* file;
    int64_t offset;   // file offset of the buffer's first byte, -1 unknown
    int64_t file_pos; // where the file layer's own pointer stands
};

// Mode string: "r" "r+" "w" "w+" "a" "a+" "x" "x+", with an optional sharing
// part "d" plus one of "awrn" before or after it ("r+dw", "dnr"). Returns 0
// for a mode outside the table. Sets `*access` on success.
int buf_stream_parse_mode(const char* mode, uint32_t* access);

buf_stream* buf_stream_open(const char* path, const char* mode);
// `error` (optional) receives the file layer's error number on failure.
buf_stream* buf_stream_create(const char* path, uint32_t access, int* error);
// Flushes, closes the file, frees everything. 1, or 0 when a write failed.
int buf_stream_close(buf_stream* s);
// Next byte 0-255; with consume 0 the byte stays. -1 at end of file/error.
int buf_stream_getc(buf_stream* s, int consume);
// One line into out (max + 1 bytes): LF ends it; CR before LF or before end
// of file is dropped, any other CR is text. Stops after max bytes. Returns
// the length, -1 at end of file with nothing read.
int buf_stream_gets(buf_stream* s, char* out, int max);
int buf_stream_eof(const buf_stream* s);
int buf_stream_putc(int c, buf_stream* s);         // the byte, or -1
int buf_stream_puts(const char* text, buf_stream* s); // 1, or 0
// Writes n bytes (the saver's bulk path). 1, or 0 on a write failure.
int buf_stream_write(buf_stream* s, const void* data, uint32_t n);
int buf_stream_seek(buf_stream* s, int64_t offset, int origin); // nonzero ok
int64_t buf_stream_tell(const buf_stream* s);
// Frees the buffer memory; the stream stays usable (the buffer comes back
// when it is needed again).
void buf_stream_reset(buf_stream* s);
// Refills an empty read buffer: the next byte without consuming it, or -1.
// The loader's inline loops call this only at the buffer's end.
int buf_stream_fill(buf_stream* s);
