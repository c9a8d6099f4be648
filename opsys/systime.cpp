#include "opsys/systime.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "opsys/strlib.h"

namespace {

bool local_now(struct tm* out) {
    time_t t = time(nullptr);
#ifdef _WIN32
    struct tm* p = localtime(&t);   // the C runtime's, per thread
    if (!p) return false;
    *out = *p;
    return true;
#else
    return localtime_r(&t, out) != nullptr;
#endif
}

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

char* put(char* dst, size_t size, const char* text) {
    if (!dst || size == 0) return dst;
    return CopyStringBounded(dst, text, size - 1);
}

} // namespace

long long TimeNow() { return static_cast<long long>(time(nullptr)); }

long long FormatElapsedTime(char* dst, size_t size, long long seconds) {
    long long s = seconds < 0 ? 0 : seconds;
    long long days = s / 86400;
    int hours = static_cast<int>((s / 3600) % 24);
    int mins = static_cast<int>((s / 60) % 60);
    int secs = static_cast<int>(s % 60);
    char buf[96];
    if (days)
        snprintf(buf, sizeof buf, "Days: %lld, Hours: %02d, Mins: %02d, Secs: %02d", days, hours, mins, secs);
    else if (hours)
        snprintf(buf, sizeof buf, "Hours: %02d, Mins: %02d, Secs: %02d", hours, mins, secs);
    else if (mins)
        snprintf(buf, sizeof buf, "Mins: %02d, Secs: %02d", mins, secs);
    else
        snprintf(buf, sizeof buf, "Secs: %02d", secs);
    put(dst, size, buf);
    return seconds;
}

long long FormatElapsedTime(char* dst, size_t size, long long start, long long end) {
    return FormatElapsedTime(dst, size, end - start);
}

int Stopwatch::Start() {
    if (start_) return 1;
    start_ = TimeNow();
    if (!start_) start_ = 1;   // 0 means "not running"
    return 0;
}

long long Stopwatch::Elapsed(char* dst, size_t size) const {
    if (!start_) {
        put(dst, size, "");
        return 0;
    }
    return FormatElapsedTime(dst, size, TimeNow() - start_);
}

char* TimeNowText(char* dst, size_t size) {
    struct tm t;
    char buf[32] = "";
    if (local_now(&t)) snprintf(buf, sizeof buf, "%d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
    return put(dst, size, buf);
}

char* TimeNowText12(char* dst, size_t size) {
    struct tm t;
    char buf[32] = "";
    if (local_now(&t)) {
        int h = t.tm_hour % 12;
        snprintf(buf, sizeof buf, "%d:%02d %s", h ? h : 12, t.tm_min, t.tm_hour < 12 ? "AM" : "PM");
    }
    return put(dst, size, buf);
}

char* DateNowText(char* dst, size_t size) {
    struct tm t;
    char buf[32] = "";
    if (local_now(&t) && t.tm_mon >= 0 && t.tm_mon < 12)
        snprintf(buf, sizeof buf, "%d %s %d", t.tm_mday, kMonths[t.tm_mon], t.tm_year + 1900);
    return put(dst, size, buf);
}

unsigned OSVersionFlagsFor(unsigned major, unsigned minor, int is_nt) {
    if (is_nt) {
        // Every NT from 5 on (2000, XP, Vista, 7, 10, 11, Wine) has what 0x20 stands for.
        if (major >= 5) return 0x20;
        if (major == 4 && minor == 0) return 0x10;
        return 0x08;
    }
    if (major == 4 && minor == 0) return 0x04;
    if ((major == 4 && minor > 0) || major > 4) return 0x40;
    if (major == 3 && minor == 0) return 0x01;
    if (major == 3 && minor >= 95) return 0x04;
    return 0x02;
}

const char* EnvGet(const char* name) { return name && *name ? getenv(name) : nullptr; }
