// Saving a buffer (or a range of it) to a file, with a ".BAK" backup and an
// optional temporary name that is renamed over the target at the end.
//
// Whatever the flags, a save never leaves the target shorter than the text
// it stands for and never loses the old file on a failure:
// - a buffer whose loading stopped for want of pages is not saved to its end
//   (result 0x100): its unread rest is not in the buffer;
// - the unread rest of a lazily loaded file is read into the buffer (or, with
//   VMB_SAVE_ALL, copied from its stream) before anything is replaced;
// - a direct save first moves the old target aside (to the backup, or to a
//   temporary name when no backup is wanted) and moves it back when writing
//   fails.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "VmEngine/vmcore.h"
#include "VmEngine/vmfile.h"
#include "opsys/bufstream.h"
#include "opsys/paths.h"

namespace {

void copy_name(char* out, const char* text) {
    if (!out) return;
    size_t n = text ? std::strlen(text) : 0;
    if (n > VM_NAME_MAX) n = VM_NAME_MAX;
    if (n) std::memcpy(out, text, n);
    out[n] = 0;
}

void forget_temp_record(VMB* b) {
    std::free(b->temp_name);
    b->temp_name = nullptr;
}

bool ext_is_bak(const char* path) {
    const char* e = PathExtension(path);
    return e && std::tolower(static_cast<unsigned char>(e[0])) == 'b' &&
           std::tolower(static_cast<unsigned char>(e[1])) == 'a' &&
           std::tolower(static_cast<unsigned char>(e[2])) == 'k' && e[3] == 0;
}

// path + "." with the extension "$" and a random number below 255 in
// lower-case hexadecimal, until no such file exists (at most 2000 tries).
int dollar_name(void* path, unsigned, char* out, size_t size) {
    std::snprintf(out, size, "%s.$%x", static_cast<const char*>(path), FsRandom() % 255u);
    return 1;
}

bool make_temp_name(const char* path, char* out) {
    if (std::strlen(path) + 5 > VM_NAME_MAX) return false;
    return FsUniqueName(dollar_name, const_cast<char*>(path), 2000, 0, out, VM_NAME_MAX + 1, nullptr) != 0;
}

// Reads the whole unread rest of the buffer's file into the buffer.
void read_rest(VMB* b) {
    if (b->stream && !(b->state & VM_ST_FULLY_READ)) vm_read_lines(b, 0xFFFFFFFFu);
}

bool file_fully_read(const VMB* b) {
    return !b->stream || ((b->state & VM_ST_FULLY_READ) && !(b->state & VM_ST_LOAD_FAILED));
}

bool put_bytes(buf_stream* out, const void* p, uint32_t n) {
    return n == 0 || buf_stream_write(out, p, n) != 0;
}

// Copies the attached stream from its position to its end. False when a
// write failed.
bool copy_stream_rest(buf_stream* in, buf_stream* out) {
    for (;;) {
        if (in->cur >= in->end && buf_stream_fill(in) < 0) return true;
        uint32_t n = static_cast<uint32_t>(in->end - in->cur);
        if (!put_bytes(out, in->cur, n)) return false;
        in->cur = in->end;
    }
}

// The writer: lines from..to of the buffer to `out_path`. Result bits.
uint32_t write_range(VMB* b, const char* out_path, uint32_t from, int from_col, uint32_t to,
                     int to_col, uint32_t flags) {
    if (!b->out_stream) {
        b->out_stream = buf_stream_open(out_path, "wda");
        if (!b->out_stream) return VMB_SR_CREATE;
    }
    buf_stream* out = b->out_stream;
    buf_stream* in = b->stream;
    const int64_t in_offset = in ? buf_stream_tell(in) : -1;
    const bool rest_follows = (flags & VMB_SAVE_ALL) && !file_fully_read(b);

    if (flags & VMB_SAVE_ALL) to = b->line_count;
    else if (to > b->line_count) to = b->line_count;
    if (from == 0) from = 1;

    const char* eol = (b->state & VM_ST_LF) ? "\n" : "\r\n";
    const uint32_t eol_len = (b->state & VM_ST_LF) ? 1 : 2;
    // The last line keeps its break only when the file had one there, or
    // when the unread rest of the file follows. A forced write is the same
    // text: it must not cut the file's final line break.
    const bool last_break = rest_follows || (b->state & VM_ST_FINAL_EOL);

    uint32_t result = 0;
    // The text goes from the pages straight into the output stream.
    struct Sink {
        buf_stream* out;
        bool failed = false;
        bool ends_in_cr = false; // the last byte of the line written so far
        static bool put(void* ctx, const uint8_t* text, uint32_t n) {
            Sink* s = static_cast<Sink*>(ctx);
            s->failed = !put_bytes(s->out, text, n);
            if (n) s->ends_in_cr = text[n - 1] == '\r';
            return !s->failed;
        }
    } sink{out};
    vmi::PosSave saved = vmi::save_pos(b);
    for (uint32_t line = from; !result && line <= to; ++line) {
        int col = line == from && from_col > 0 ? from_col : 0;
        if (!vmi::seek(b, line, col)) {
            result = VMB_SR_LINE;
            break;
        }
        uint32_t want = 0xFFFFFFFFu; // to the end of the line
        if (line == to && to_col >= 0) want = to_col > col ? static_cast<uint32_t>(to_col - col) : 0;
        uint32_t got = 0;
        sink.ends_in_cr = false;
        if (want && !vmi::text_out(b, want, &Sink::put, &sink, &got)) {
            result = sink.failed ? VMB_SR_WRITE : VMB_SR_LINE;
            break;
        }
        // A CR that ends a line's text would read back as part of the break
        // (CR LF) or, at the end of the file, be dropped. A CR in front of
        // the break keeps it text: CR LF as the break, a second CR at the end.
        if (line < to || last_break) {
            if (sink.ends_in_cr ? !put_bytes(out, "\r\n", 2) : !put_bytes(out, eol, eol_len))
                result = VMB_SR_WRITE;
        } else if (sink.ends_in_cr && !(flags & VMB_SAVE_KEEP_OPEN) && !put_bytes(out, "\r", 1)) {
            result = VMB_SR_WRITE;
        }
    }
    if (saved.line != 0 && saved.line <= b->line_count) vmi::restore_pos(b, saved);
    else vmi::clear_pos(b);

    bool copied = false;
    if (!result && rest_follows && in) {
        copied = true;
        if (!copy_stream_rest(in, out)) result = VMB_SR_WRITE;
    }
    // Loading goes on from where it stood.
    if (in && in_offset >= 0) buf_stream_seek(in, in_offset, 0);

    if (result) {
        buf_stream_close(out);
        b->out_stream = nullptr;
        return result;
    }
    if (!(flags & VMB_SAVE_KEEP_OPEN)) {
        b->out_stream = nullptr;
        if (!buf_stream_close(out)) {
            result = VMB_SR_CLOSE;
            if (copied) buf_file_remove(out_path);
        }
    }
    return result;
}

uint32_t save_locked(const char* path, char* temp_out, char* bak_out, VMB* b, int from_line,
                     int from_col, int to_line, int to_col, uint32_t flags) {
    if (!path || PathCheck(path) != 0) return VMB_SR_BAD_PATH;
    if (temp_out) temp_out[0] = 0;
    if (bak_out) bak_out[0] = 0;
    // Loading stopped because no page could be made: the buffer ends early
    // (its last line may be cut), and what follows is not in it. A save
    // that reaches the end would write the file shorter than it is, so it
    // is refused before anything is touched: those lines cannot be reached.
    if ((b->state & VM_ST_LOAD_FAILED) &&
        ((flags & VMB_SAVE_ALL) || to_line < 0 || static_cast<uint32_t>(to_line) >= b->line_count))
        return VMB_SR_LINE;
    const bool temp_mode = (flags & VMB_SAVE_TEMP_NAME) != 0;
    const bool temp_only = temp_mode && (flags & VMB_SAVE_TEMP_ONLY);

    // The name written first.
    char temp[VM_NAME_MAX + 16];
    copy_name(temp, path);
    if (temp_mode) {
        bool reuse = false;
        if (b->temp_name) {
            if (PathSameDir(b->temp_name, path)) {
                copy_name(temp, b->temp_name);
                reuse = true;
            } else {
                buf_file_remove(b->temp_name);
                forget_temp_record(b);
                b->state &= ~VM_ST_TEMPCOPY;
            }
        }
        if (!reuse) {
            if (!make_temp_name(path, temp)) return VMB_SR_NO_TEMP_NAME;
            if (!(b->state & VM_ST_CLOSE_AT_EOF) && !(flags & VMB_SAVE_FORCE)) {
                forget_temp_record(b);
                b->temp_name = vmi::heap_copy(temp);
            }
        }
    }
    copy_name(temp_out, temp);
    const bool same_name = std::strcmp(temp, path) == 0;

    // A range that reaches the last line read of a partly read file means
    // the rest of the file too.
    const bool was_partial = !file_fully_read(b);
    const bool to_end = to_line < 0 || static_cast<uint32_t>(to_line) >= b->line_count;

    // The text must be complete before anything is replaced: read the rest,
    // unless the writer copies it from the stream.
    if (!temp_mode) {
        if (b->type & VMB_T_FILE) {
            read_rest(b);
            if (b->stream) {
                buf_stream_close(b->stream);
                b->stream = nullptr;
            }
        }
    } else if (!(flags & VMB_SAVE_ALL)) {
        read_rest(b);
    }

    bool needed = vmb_save_needed(b, flags) != 0;
    if (!needed && !buf_file_exists(temp)) needed = true; // the copy vanished
    // A direct save of a buffer whose text sits in a temporary copy writes
    // the text; the target would otherwise keep its old contents.
    if (!needed && !temp_mode && b->temp_name) needed = true;

    uint32_t result = 0;
    const bool target_existed = buf_file_exists(path) != 0;

    // Backup.
    char bak[VM_NAME_MAX + 16];
    bak[0] = 0;
    bool backup = !(flags & (VMB_SAVE_NO_BACKUP | VMB_SAVE_TEMP_ONLY)) && !ext_is_bak(path);
    if (backup) {
        if (std::strlen(path) + 4 > VM_NAME_MAX) {
            backup = false;
        } else {
            std::snprintf(bak, sizeof bak, "%s.BAK", path);
            copy_name(bak_out, bak);
        }
    }
    if (backup && (needed || temp_mode) && buf_file_exists(bak) && !buf_file_remove(bak)) {
        result |= VMB_SR_BAK_DELETE;
        backup = false;
    }
    // A direct save moves the old target aside first, so that a failed
    // write can put it back.
    char aside[VM_NAME_MAX + 16];
    aside[0] = 0;
    if (!temp_mode && needed && target_existed) {
        if (backup) {
            if (buf_file_rename(path, bak)) copy_name(aside, bak);
            else result |= VMB_SR_BAK_RENAME;
        } else if (void* probe = buf_file_open(path, BS_WRITE | BS_SHARE_DENY_NONE, nullptr)) {
            // Only a target that could be overwritten is moved: a read-only
            // or locked one makes the write fail as it would in place.
            buf_file_close(probe);
            if (!make_temp_name(path, aside) || !buf_file_rename(path, aside)) aside[0] = 0;
        }
    }

    if (needed) {
        uint32_t from = from_line > 0 ? static_cast<uint32_t>(from_line) : 1;
        // A negative last line means the end of the buffer.
        uint32_t to = to_line < 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(to_line);
        if (was_partial && to_end) {
            to = 0xFFFFFFFFu;
            to_col = -1;
        }
        result |= write_range(b, temp, from, from_col, to, to_col, flags);
        if (result & VMB_SR_FAILURES) {
            if (temp_mode) {
                buf_file_remove(temp);
                if (b->temp_name && std::strcmp(b->temp_name, temp) == 0) forget_temp_record(b);
            } else if (aside[0]) {
                buf_file_remove(path); // a partial file, or one never made
                buf_file_rename(aside, path);
            }
            return result;
        }
        if (!temp_mode && aside[0] && !backup) buf_file_remove(aside);
    }

    if (temp_mode && !temp_only) {
        if (b->type & VMB_T_FILE) {
            // The stream goes with the old file: its rest must be in the
            // buffer first.
            read_rest(b);
            if (b->stream) {
                buf_stream_close(b->stream);
                b->stream = nullptr;
            }
        }
        if (target_existed && !same_name) {
            if (backup) {
                if (!buf_file_rename(path, bak)) result |= VMB_SR_TARGET_BAK;
            } else if (!buf_file_remove(path)) {
                result |= VMB_SR_TARGET_DELETE;
            }
        }
    }

    if (!temp_only && !(result & VMB_SR_FAILURES) && (temp_mode || !needed) && !same_name) {
        if (!buf_file_rename(temp, path)) {
            result |= VMB_SR_TEMP_RENAME;
        } else {
            forget_temp_record(b);
        }
    }
    if (!temp_only && same_name && b->temp_name && !(result & VMB_SR_FAILURES)) {
        buf_file_remove(b->temp_name); // older than what was just written
        forget_temp_record(b);
    }

    if (!(result & VMB_SR_FAILURES) && !(flags & VMB_SAVE_FORCE)) {
        if (temp_only) {
            b->state |= VM_ST_TEMPCOPY;
        } else {
            b->state &= ~(VM_ST_MODIFIED | VM_ST_TEMPCOPY);
            b->state |= VM_ST_WRITTEN;
        }
        b->state &= ~VM_ST_UNSAVED;
    }
    return result;
}

} // namespace

int vmb_save_needed(VMB* buffer, uint32_t flags) {
    vmi::BufferGuard g(buffer);
    if (!g) return 0;
    if ((buffer->state & VM_ST_TEMPCOPY) && !(buffer->state & VM_ST_UNSAVED) &&
        !(flags & VMB_SAVE_FORCE))
        return 0;
    return 1;
}

uint32_t vmb_save(const char* path, char* temp_out, char* bak_out, VMB* buffer, int from_line,
                  int from_col, int to_line, int to_col, uint32_t flags) {
    vmi::BufferGuard g(buffer);
    if (!g) return VMB_SR_BAD_BUFFER;
    return save_locked(path, temp_out, bak_out, buffer, from_line, from_col, to_line, to_col,
                       flags);
}

int vmb_backup_cleanup(VMB* buffer, int del) {
    vmi::BufferGuard g(buffer);
    if (!g) return 0;
    if (buffer->temp_name) {
        if (del) buf_file_remove(buffer->temp_name);
        forget_temp_record(buffer);
    }
    buffer->state &= ~VM_ST_TEMPCOPY;
    return 1;
}

int vmb_path_record(VMB* buffer, int op, char* text) {
    vmi::BufferGuard g(buffer);
    if (!g) return 0;
    int r = 1;
    if (op == 1) {
        forget_temp_record(buffer);
        if (text && *text) buffer->temp_name = vmi::heap_copy(text);
    } else {
        copy_name(text, buffer->temp_name);
        r = buffer->temp_name ? 1 : 0;
    }
    return r;
}
