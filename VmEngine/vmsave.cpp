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
    // Whole lines before the last are written where they stand in their
    // pages, a batch at a time; a line kept in several records, the first
    // one from a column and the last one go through the position.
    constexpr int kBatch = 256;
    const char* texts[kBatch];
    int lengths[kBatch];
    auto put_line_end = [&](const char* text, int len) {
        return len > 0 && text[len - 1] == '\r' ? put_bytes(out, "\r\n", 2)
                                                 : put_bytes(out, eol, eol_len);
    };
    vmi::PosSave saved = vmi::save_pos(b);
    for (uint32_t line = from; !result && line <= to; ++line) {
        int col = line == from && from_col > 0 ? from_col : 0;
        if (col == 0 && line < to) {
            const int want = to - line < uint32_t(kBatch) ? int(to - line) : kBatch;
            const int n = vm_line_texts(b, int(line), want, texts, lengths);
            for (int k = 0; k < n && !result; ++k) {
                const uint32_t len = uint32_t(lengths[k]);
                // A line that fits in what is left of the stream's buffer
                // (most do) goes there directly with its line end: two calls
                // per line were a sixth of a save's own instructions.
                if ((out->flags & BS_F_DIRTY) && uint32_t(out->end - out->cur) >= len + 2) {
                    std::memcpy(out->cur, texts[k], len);
                    out->cur += len;
                    const bool cr = len > 0 && texts[k][len - 1] == '\r';
                    std::memcpy(out->cur, cr ? "\r\n" : eol, cr ? 2 : eol_len);
                    out->cur += cr ? 2 : eol_len;
                } else if (!put_bytes(out, texts[k], len) || !put_line_end(texts[k], lengths[k])) {
                    result = VMB_SR_WRITE;
                }
            }
            if (n > 0) {
                line += uint32_t(n) - 1;
                continue;
            }
        }
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

// One save from start to end: what it was asked, and what it learned and
// did on the way, phase by phase.
struct SaveJob {
    SaveJob(const char* p, VMB* buffer, int fl, int fc, int tl, int tc, uint32_t f)
        : path(p), b(buffer), from_line(fl), from_col(fc), to_line(tl), to_col(tc), flags(f) {
        temp[0] = bak[0] = aside[0] = 0;
    }
    const char* path;
    VMB* b;
    int from_line, from_col, to_line, to_col;
    uint32_t flags;
    bool temp_mode = false;
    bool temp_only = false;
    char temp[VM_NAME_MAX + 16]; // the name written first
    bool same_name = false;      // that name is the target's
    bool was_partial = false;    // the file was not read to its end
    bool to_end = false;         // the range reaches the last line read
    bool needed = false;         // the text is written
    bool target_existed = false;
    bool backup = false;
    char bak[VM_NAME_MAX + 16];
    char aside[VM_NAME_MAX + 16]; // where the old target waits, if moved
    uint32_t result = 0;
};

// Loading stopped because no page could be made: the buffer ends early (its
// last line may be cut), and what follows is not in it. A save that reaches
// the end would write the file shorter than it is, so it is refused before
// anything is touched: those lines cannot be reached.
bool refused_for_lost_rest(const SaveJob& j) {
    return (j.b->state & VM_ST_LOAD_FAILED) &&
           ((j.flags & VMB_SAVE_ALL) || j.to_line < 0 ||
            static_cast<uint32_t>(j.to_line) >= j.b->line_count);
}

// The name written first: the target itself, or a temporary name beside it
// (the buffer's recorded one when it is in the same folder). False when no
// temporary name could be found.
bool choose_written_name(SaveJob& j) {
    VMB* b = j.b;
    copy_name(j.temp, j.path);
    if (!j.temp_mode) return true;
    bool reuse = false;
    if (b->temp_name) {
        if (PathSameDir(b->temp_name, j.path)) {
            copy_name(j.temp, b->temp_name);
            reuse = true;
        } else {
            buf_file_remove(b->temp_name);
            forget_temp_record(b);
            b->state &= ~VM_ST_TEMPCOPY;
        }
    }
    if (!reuse) {
        if (!make_temp_name(j.path, j.temp)) return false;
        if (!(b->state & VM_ST_CLOSE_AT_EOF) && !(j.flags & VMB_SAVE_FORCE)) {
            forget_temp_record(b);
            b->temp_name = vmi::heap_copy(j.temp);
        }
    }
    return true;
}

// The text must be complete before anything is replaced: read the rest,
// unless the writer copies it from the stream.
void complete_text(SaveJob& j) {
    VMB* b = j.b;
    if (!j.temp_mode) {
        if (b->type & VMB_T_FILE) {
            read_rest(b);
            if (b->stream) {
                buf_stream_close(b->stream);
                b->stream = nullptr;
            }
        }
    } else if (!(j.flags & VMB_SAVE_ALL)) {
        read_rest(b);
    }
}

bool save_needed(const SaveJob& j) {
    if (vmb_save_needed(j.b, j.flags)) return true;
    if (!buf_file_exists(j.temp)) return true; // the copy vanished
    // A direct save of a buffer whose text sits in a temporary copy writes
    // the text; the target would otherwise keep its old contents.
    return !j.temp_mode && j.b->temp_name;
}

// The backup's name, and the old backup removed where a new one will take
// its place.
void prepare_backup(SaveJob& j, char* bak_out) {
    j.bak[0] = 0;
    j.backup = !(j.flags & (VMB_SAVE_NO_BACKUP | VMB_SAVE_TEMP_ONLY)) && !ext_is_bak(j.path);
    if (!j.backup) return;
    if (std::strlen(j.path) + 4 > VM_NAME_MAX) {
        j.backup = false;
        return;
    }
    std::snprintf(j.bak, sizeof j.bak, "%s.BAK", j.path);
    copy_name(bak_out, j.bak);
    if ((j.needed || j.temp_mode) && buf_file_exists(j.bak) && !buf_file_remove(j.bak)) {
        j.result |= VMB_SR_BAK_DELETE;
        j.backup = false;
    }
}

// A direct save moves the old target aside first, so that a failed write
// can put it back.
void move_target_aside(SaveJob& j) {
    j.aside[0] = 0;
    if (j.temp_mode || !j.needed || !j.target_existed) return;
    if (j.backup) {
        if (buf_file_rename(j.path, j.bak)) copy_name(j.aside, j.bak);
        else j.result |= VMB_SR_BAK_RENAME;
    } else if (void* probe = buf_file_open(j.path, BS_WRITE | BS_SHARE_DENY_NONE, nullptr)) {
        // Only a target that could be overwritten is moved: a read-only or
        // locked one makes the write fail as it would in place.
        buf_file_close(probe);
        if (!make_temp_name(j.path, j.aside) || !buf_file_rename(j.path, j.aside)) j.aside[0] = 0;
    }
}

// Writes the text under the first name. False when writing failed: what it
// left is removed and the old target is back in its place.
bool write_text(SaveJob& j) {
    VMB* b = j.b;
    uint32_t from = j.from_line > 0 ? static_cast<uint32_t>(j.from_line) : 1;
    // A negative last line means the end of the buffer.
    uint32_t to = j.to_line < 0 ? 0xFFFFFFFFu : static_cast<uint32_t>(j.to_line);
    int to_col = j.to_col;
    // A range that reaches the last line read of a partly read file means
    // the rest of the file too.
    if (j.was_partial && j.to_end) {
        to = 0xFFFFFFFFu;
        to_col = -1;
    }
    j.result |= write_range(b, j.temp, from, j.from_col, to, to_col, j.flags);
    if (j.result & VMB_SR_FAILURES) {
        if (j.temp_mode) {
            buf_file_remove(j.temp);
            if (b->temp_name && std::strcmp(b->temp_name, j.temp) == 0) forget_temp_record(b);
        } else if (j.aside[0]) {
            buf_file_remove(j.path); // a partial file, or one never made
            buf_file_rename(j.aside, j.path);
        }
        return false;
    }
    if (!j.temp_mode && j.aside[0] && !j.backup) buf_file_remove(j.aside);
    return true;
}

// A temporary copy takes the target's place: the old target goes to the
// backup (or is removed), the copy is renamed over it.
void replace_target(SaveJob& j) {
    VMB* b = j.b;
    if (j.temp_mode && !j.temp_only) {
        if (b->type & VMB_T_FILE) {
            // The stream goes with the old file: its rest must be in the
            // buffer first.
            read_rest(b);
            if (b->stream) {
                buf_stream_close(b->stream);
                b->stream = nullptr;
            }
        }
        if (j.target_existed && !j.same_name) {
            if (j.backup) {
                if (!buf_file_rename(j.path, j.bak)) j.result |= VMB_SR_TARGET_BAK;
            } else if (!buf_file_remove(j.path)) {
                j.result |= VMB_SR_TARGET_DELETE;
            }
        }
    }
    const bool failed = (j.result & VMB_SR_FAILURES) != 0;
    if (!j.temp_only && !failed && (j.temp_mode || !j.needed) && !j.same_name) {
        if (!buf_file_rename(j.temp, j.path)) j.result |= VMB_SR_TEMP_RENAME;
        else forget_temp_record(b);
    }
    if (!j.temp_only && j.same_name && b->temp_name && !(j.result & VMB_SR_FAILURES)) {
        buf_file_remove(b->temp_name); // older than what was just written
        forget_temp_record(b);
    }
}

void record_saved(const SaveJob& j) {
    VMB* b = j.b;
    if ((j.result & VMB_SR_FAILURES) || (j.flags & VMB_SAVE_FORCE)) return;
    if (j.temp_only) {
        b->state |= VM_ST_TEMPCOPY;
    } else {
        b->state &= ~(VM_ST_MODIFIED | VM_ST_TEMPCOPY);
        b->state |= VM_ST_WRITTEN;
    }
    b->state &= ~VM_ST_UNSAVED;
}

uint32_t save_locked(const char* path, char* temp_out, char* bak_out, VMB* b, int from_line,
                     int from_col, int to_line, int to_col, uint32_t flags) {
    if (!path || PathCheck(path) != 0) return VMB_SR_BAD_PATH;
    if (temp_out) temp_out[0] = 0;
    if (bak_out) bak_out[0] = 0;
    SaveJob j(path, b, from_line, from_col, to_line, to_col, flags);
    if (refused_for_lost_rest(j)) return VMB_SR_LINE;
    j.temp_mode = (flags & VMB_SAVE_TEMP_NAME) != 0;
    j.temp_only = j.temp_mode && (flags & VMB_SAVE_TEMP_ONLY);

    if (!choose_written_name(j)) return VMB_SR_NO_TEMP_NAME;
    copy_name(temp_out, j.temp);
    j.same_name = std::strcmp(j.temp, path) == 0;

    // Before the rest is read: afterwards the file always looks read.
    j.was_partial = !file_fully_read(b);
    j.to_end = to_line < 0 || static_cast<uint32_t>(to_line) >= b->line_count;
    complete_text(j);

    j.needed = save_needed(j);
    j.target_existed = buf_file_exists(path) != 0;
    prepare_backup(j, bak_out);
    move_target_aside(j);
    if (j.needed && !write_text(j)) return j.result;
    replace_target(j);
    record_saved(j);
    return j.result;
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
