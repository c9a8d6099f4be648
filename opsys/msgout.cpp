#include "opsys/msgout.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <string>

#include "opsys/fs.h"
#include "opsys/paths.h"
#include "opsys/platform_internal.h"
#include "opsys/strlib.h"

namespace {

// Appends bytes to a file, creating it; false on failure.
bool append_file(const char* path, const char* data, size_t n) {
    void* f = FsOpen(path, FS_WRITE | FS_APPEND | FS_SHARE_DENY_WRITE | FS_CREATE | FS_NO_TRUNCATE, nullptr);
    if (!f) return false;
    bool ok = FsWriteAll(f, data, n) != 0;
    FsClose(f);
    return ok;
}

constexpr int kStatusPane = 43537;
constexpr size_t kTextSize = 1024;       // message arrays
constexpr size_t kFormatSize = 1023;     // what the formatter may use of them

std::atomic<int> g_quiet{0};
// Boxes may be shown from any thread; the guard must see every one of them.
std::atomic<int> g_box_depth{0};

std::mutex g_log_mutex;
std::string g_log_path;   // empty: the default places

// Formats a message text with its arguments and hands it to the outlets:
// the one tail of every message function.
int show_formatted(unsigned flags, const char* caption, const char* format, unsigned id,
                   const QwPoint* point, va_list args) {
    char buf[kTextSize];
    buf[0] = '\0';
    unsigned fmt_flags = format_str(buf, kFormatSize, format, args);
    return ShowMessage(flags, caption, buf, fmt_flags, id, point);
}

int msg_out(unsigned flags, const char* message, va_list args, const QwPoint* point) {
    QwShellOutlets o = QwGetShellOutlets();
    if (!(flags & (QW_MSG_BOX | QW_MSG_LOG))) {
        void* main = o.main_window ? o.main_window() : nullptr;
        if (!main) return 0;
        int state = o.frame_close_state ? o.frame_close_state() : 0;
        if (state == 2) return 0;
        if (state == 1 && !IsAppThread()) return 0;
    }
    va_list ap;
    va_copy(ap, args);
    char caption[kTextSize + 1];
    const char* cap = nullptr;
    unsigned id = 0;
    if (flags & QW_MSG_CAPTION) {
        CopyStringBounded(caption, message, kTextSize);
        cap = caption;
        if (flags & QW_MSG_ID) id = va_arg(ap, unsigned);
        else message = va_arg(ap, const char*);
    } else if (flags & QW_MSG_ID) {
        id = static_cast<unsigned>(reinterpret_cast<uintptr_t>(message));
    }
    char loaded[kTextSize + 1];
    const char* text = message;
    if (flags & QW_MSG_ID) text = LoadAppString(id, loaded, sizeof loaded) ? loaded : nullptr;
    if (!text || !*text) {
        va_end(ap);
        if (flags & QW_MSG_OUTPUT) {
            if (o.output_print)
                o.output_print(nullptr, static_cast<int>(flags >> 16), (flags & QW_MSG_NESTED) != 0,
                               (flags & QW_MSG_VERSION) != 0);
        } else if (flags & (QW_MSG_STATUS | QW_MSG_STATUS_HOLD)) {
            if (o.status_reset) o.status_reset();
        }
        return 1;
    }
    int r = show_formatted(flags, cap, text, id, point, ap);
    va_end(ap);
    return r;
}

void status_outlet(const QwShellOutlets& o, unsigned flags, const char* text, unsigned fmt_flags) {
    unsigned style = ((flags & QW_MSG_STATUS_HOLD) ? 0x6000u : 0u) |
                     ((flags & QW_MSG_NESTED) ? 0x10u : 0u) | fmt_flags;
    if (IsAppThread()) {
        if (o.status_set_text) o.status_set_text(text, kStatusPane, style | 0x5, style & 0x6000);
        return;
    }
    void* bar = o.status_bar_window ? o.status_bar_window() : nullptr;
    if (!bar) return;
    QwStatusRequest* rec = new QwStatusRequest{StrMallocCopy(text), kStatusPane, style, style & 0x6000};
    if (!rec->text || !qw_platform::post_status(bar, rec)) QwStatusRequestFree(rec);
}

int box_outlet(const QwShellOutlets& o, unsigned flags, const char* caption, const char* text,
               unsigned fmt_flags, unsigned id) {
    char buf[kTextSize];
    CopyStringBounded(buf, text, kTextSize - 1);
    if (flags & QW_MSG_SERIOUS) {
        char notice[kTextSize + 1];
        // a missing notice must not add a box of its own to a serious error
        if (qw_platform::load_string(QW_IDS_SERIOUS_NOTICE, notice, sizeof notice))
            format_strf(buf, kFormatSize, notice);
    }
    unsigned box_flags = (flags & QW_MSG_NESTED) | fmt_flags;
    unsigned high = flags >> 16;
    if (high == 0 && !(flags & (QW_MSG_INFO | QW_MSG_VERSION | QW_MSG_SERIOUS))) {
        unsigned icon = id >= QW_IDS_FIRST_ENCIPHERED ? QW_MB_ICONERROR : QW_MB_ICONWARNING;
        return QwMessageBox(caption, buf, icon, box_flags);
    }
    unsigned style = high | ((flags & QW_MSG_INFO) ? QW_MB_ICONINFORMATION : 0u);
    char cap[kTextSize + 1];
    if (caption) {
        CopyStringBounded(cap, caption, kTextSize);
    } else if (!(flags & (QW_MSG_VERSION | QW_MSG_SERIOUS))) {
        if (!qw_platform::load_string(QW_IDS_APP_SHORT_NAME, cap, sizeof cap)) cap[0] = '\0';
    } else {
        char version[kTextSize / 2];
        version[0] = '\0';
        if (o.app_version) o.app_version(version, sizeof version);
        version[sizeof version - 1] = '\0';
        cap[0] = '\0';
        if (flags & QW_MSG_SERIOUS) {
            strcpy(cap, "Serious QW error. ");
            style |= QW_MB_ICONERROR;
        }
        StrCatAlloc(cap, version, sizeof cap);
    }
    return QwMessageBox(cap[0] ? cap : nullptr, buf, style, box_flags);
}

void output_outlet(const QwShellOutlets& o, unsigned flags, const char* text) {
    if (!o.output_print) return;
    int kind = static_cast<int>(flags >> 16);
    int show = (flags & QW_MSG_NESTED) != 0;
    int v = (flags & QW_MSG_VERSION) != 0;
    std::string part;
    const char* p = text;
    for (;;) {
        const char* cr = strchr(p, '\r');
        part.assign(p, cr ? static_cast<size_t>(cr - p) : strlen(p));
        o.output_print(part.c_str(), kind, show, v);
        show = 0;
        if (!cr) break;
        p = cr + 1;
        if (*p == '\n') ++p;
        if (!*p) break;
    }
}

} // namespace

int MsgQuietLevel(int level) {
    if (level >= 0) return g_quiet.exchange(level);
    return g_quiet.load();
}

int MsgOutV(unsigned flags, const char* message, va_list args) {
    return msg_out(flags, message, args, nullptr);
}

int MsgOut(unsigned flags, const char* message, ...) {
    va_list ap;
    va_start(ap, message);
    int r = msg_out(flags, message, ap, nullptr);
    va_end(ap);
    return r;
}

int MsgOutId(unsigned flags, unsigned id, ...) {
    va_list ap;
    va_start(ap, id);
    int r = msg_out((flags | QW_MSG_ID) & ~QW_MSG_CAPTION, QwMsgId(id), ap, nullptr);
    va_end(ap);
    return r;
}

int MsgOutEx(const QwPoint& point, unsigned flags, unsigned id, ...) {
    va_list ap;
    va_start(ap, id);
    int r = msg_out((flags | QW_MSG_ID) & ~QW_MSG_CAPTION, QwMsgId(id), ap, &point);
    va_end(ap);
    return r;
}

int ShowMessage(unsigned flags, const char* caption, const char* text, unsigned format_flags,
                unsigned id, const QwPoint* point) {
    if (!text) text = "";
    QwShellOutlets o = QwGetShellOutlets();
    int quiet = g_quiet.load();
    int result = 1;
    bool boxed = false;
    if ((flags & (QW_MSG_STATUS | QW_MSG_STATUS_HOLD)) && quiet == 0)
        status_outlet(o, flags, text, format_flags);
    if ((flags & QW_MSG_TIP) && quiet == 0 && o.tip_show)
        o.tip_show(text, flags & (QW_MSG_TIP_DIALOG | QW_MSG_TIP_CARET), point);
    if ((flags & QW_MSG_BOX) && (quiet < 2 || quiet == 3)) {
        result = box_outlet(o, flags, caption, text, format_flags, id);
        boxed = true;
    }
    if (flags & QW_MSG_LOG) DebugLog(text);
    if (flags & QW_MSG_OUTPUT) output_outlet(o, flags, text);
    if ((format_flags & (QW_FMT_BEEP_WARN | QW_FMT_BEEP)) && !boxed)
        MsgBeep((format_flags & QW_FMT_BEEP_WARN) ? QW_FMT_BEEP_WARN : QW_FMT_BEEP);
    return result;
}

constexpr unsigned kWarnFlags = QW_MSG_BOX | (QW_MB_ICONWARNING << 16);

int MsgWarn(const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    int r = show_formatted(kWarnFlags, nullptr, format, 0, nullptr, ap);
    va_end(ap);
    return r;
}

int MsgWarnId(unsigned id, ...) {
    char fmt[kTextSize + 1];
    if (!LoadAppString(id, fmt, sizeof fmt)) return 0;
    va_list ap;
    va_start(ap, id);
    int r = show_formatted(kWarnFlags, nullptr, fmt, id, nullptr, ap);
    va_end(ap);
    return r;
}

static unsigned ask_flags(int default_yes) {
    return default_yes ? 0x240010u : 0x1240010u;
}

int MsgAsk(int default_yes, const char* caption, const char* format, ...) {
    va_list ap;
    va_start(ap, format);
    int r = show_formatted(ask_flags(default_yes), caption, format, 0, nullptr, ap);
    va_end(ap);
    return r == QW_IDYES;
}

int MsgAskId(int default_yes, int caption_id, unsigned text_id, ...) {
    char cap[200];
    if (caption_id != -1 && !LoadAppString(static_cast<unsigned>(caption_id), cap, sizeof cap)) return 0;
    char fmt[kTextSize + 1];
    if (!LoadAppString(text_id, fmt, sizeof fmt)) return 0;
    va_list ap;
    va_start(ap, text_id);
    int r = show_formatted(ask_flags(default_yes), caption_id != -1 ? cap : nullptr, fmt, text_id,
                           nullptr, ap);
    va_end(ap);
    return r == QW_IDYES;
}

int QwMessageBox(const char* caption, const char* text, unsigned style, unsigned flags) {
    if (!(flags & QW_MSG_NESTED)) {
        // Claim the only slot; a second box while one shows goes to the status bar.
        int expected = 0;
        if (!g_box_depth.compare_exchange_strong(expected, 1)) {
            // Loaded without the "not found" report: that report is a box too
            // and would come straight back here.
            char fmt[kTextSize + 1];
            if (!qw_platform::load_string(QW_IDS_RECURSIVE_ERROR, fmt, sizeof fmt))
                strcpy(fmt, "Recursive Error: %s%b%e");
            MsgOut(QW_MSG_STATUS_HOLD, fmt, text ? text : "");
            return -1;
        }
    } else {
        g_box_depth.fetch_add(1);
    }
    if (flags & (QW_FMT_BEEP_WARN | QW_FMT_BEEP))
        MsgBeep((flags & QW_FMT_BEEP_WARN) ? QW_FMT_BEEP_WARN : QW_FMT_BEEP);
    QwShellOutlets o = QwGetShellOutlets();
    void* owner = nullptr;
    void* main = o.main_window ? o.main_window() : nullptr;
    if (main && !IsAppThread() && o.dialog_thread_open && o.dialog_thread_open()) owner = main;
    else owner = qw_platform::active_window();
    int r = qw_platform::message_box(owner, text ? text : "", caption ? caption : "Nask Error",
                                     style | QW_MB_SETFOREGROUND);
    g_box_depth.fetch_sub(1);
    return r;
}

int QwMessageBoxDepth() { return g_box_depth.load(); }

void MsgBeep(unsigned kind) {
    QwShellOutlets o = QwGetShellOutlets();
    if (!o.beep_enabled || !o.beep_enabled()) return;
    unsigned sound;
    switch (kind) {
    case 0x10000: sound = QW_MB_ICONWARNING; break;
    case 0x20000: sound = QW_MB_OK; break;
    case 0x40000: sound = QW_MB_ICONQUESTION; break;
    case 0x80000: sound = QW_MB_ICONINFORMATION; break;
    default: sound = QW_MB_ICONERROR; break;
    }
    qw_platform::beep(sound);
}

void DebugLogSetPath(const char* path) {
    std::lock_guard<std::mutex> lock(g_log_mutex);
    g_log_path = path ? path : "";
}

void DebugLog(const char* text) {
    std::string line = text ? text : "";
    line += "\r\n";
    std::lock_guard<std::mutex> lock(g_log_mutex);
    if (!g_log_path.empty()) {
        append_file(g_log_path.c_str(), line.data(), line.size());
        return;
    }
    char dir[QW_PATH_BUF], path[QW_PATH_BUF];
    if (qw_platform::program_dir(dir, sizeof dir) && PathJoin(path, dir, "qw_dbg.log") &&
        append_file(path, line.data(), line.size()))
        return;
    if (qw_platform::temp_dir(dir, sizeof dir) && PathJoin(path, dir, "qw_dbg.log"))
        append_file(path, line.data(), line.size());
}

void DebugLogF(const char* format, ...) {
    char buf[kTextSize];
    buf[0] = '\0';
    va_list ap;
    va_start(ap, format);
    format_str(buf, 1022, format, ap);
    va_end(ap);
    DebugLog(buf);
}

int LoadAppString(unsigned id, char* out, int size) {
    if (!out || size <= 0) return 0;
    out[0] = '\0';
    // Identifiers from QW_IDS_FIRST_ENCIPHERED up name enciphered data
    // resources, which this program does not carry.
    int n = id < QW_IDS_FIRST_ENCIPHERED ? qw_platform::load_string(id, out, size) : 0;
    if (n <= 0) {
        out[0] = '\0';
        MsgOut(QW_MSG_BOX, "String: %u not found", id);
        return 0;
    }
    return n;
}

int LoadRcDataResource(unsigned id, void* out, unsigned* size) {
    return qw_platform::load_rcdata(id, out, size);
}

int str_printf_id(char* out, size_t size, unsigned id, ...) {
    if (!out || size == 0) return -1;
    out[0] = '\0';
    char fmt[kTextSize + 1];
    if (!LoadAppString(id, fmt, sizeof fmt)) return 0;
    if (size > kTextSize) size = kTextSize;
    va_list ap;
    va_start(ap, id);
    format_str(out, size, fmt, ap);
    va_end(ap);
    return static_cast<int>(strlen(out));
}
