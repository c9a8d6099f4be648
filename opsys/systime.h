#pragma once
// Time, version and small system services: a stopwatch and elapsed-time
// texts, time and date texts, the operating-system version flags, the
// version resource of a module, the key of a character, environment values.
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

// Calendar time in seconds.
long long TimeNow();
inline int64_t MakeInt64(uint32_t high, uint32_t low) {
    return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
}

// "Secs: %S" up to "Days: %D, Hours: %H, Mins: %M, Secs: %S" (dst of size
// bytes, may be null); returns the seconds.
long long FormatElapsedTime(char* dst, size_t size, long long seconds);
long long FormatElapsedTime(char* dst, size_t size, long long start, long long end);

class Stopwatch {
public:
    Stopwatch() = default;
    void Reset() { start_ = 0; }
    // Stores the current time when not running (0); 1 when already running.
    int Start();
    int IsRunning() const { return start_ != 0; }
    long long StartTime() const { return start_; }
    // Seconds since the start (0 when not running), the text into dst when given.
    long long Elapsed(char* dst = nullptr, size_t size = 0) const;

private:
    long long start_ = 0;
};

// Current local time as "%#H:%M:%S", "%#I:%M %p" and "%#d %b %Y".
char* TimeNowText(char* dst, size_t size);
char* TimeNowText12(char* dst, size_t size);
char* DateNowText(char* dst, size_t size);

// OS version flags from a version record: one of 0x01 .. 0x40.
unsigned OSVersionFlagsFor(unsigned major, unsigned minor, int is_nt);

#ifdef _WIN32
// The user locale's time and date texts (now, or a file time); length, 0 on failure.
int TimeFormatLocale(char* dst, int size, unsigned flags);
int FileTimeFormatLocale(char* dst, int size, uint64_t file_time, unsigned flags);
int DateFormatLocale(char* dst, int size, int short_form);
int FileDateFormatLocale(char* dst, int size, uint64_t file_time, int short_form);
// The same for the current time and date (option 1: short date).
int GetTimeText(char* dst, int size, int option);
int GetDateText(char* dst, int size, int option);

void OSVersionGet(unsigned* major, unsigned* minor, int* is_nt);
unsigned OSVersionFlags();
int OSIsNTFamily();
int OSHasFeature();

// The version resource of a module.
class CModuleVersion {
public:
    CModuleVersion();
    virtual ~CModuleVersion();
    CModuleVersion(const CModuleVersion&) = delete;
    CModuleVersion& operator=(const CModuleVersion&) = delete;

    // Loads the version resource of a loaded module (null: the program), or
    // of the file of that path when no such module is loaded, and its first
    // translation. Nonzero when the fixed record carries 0xFEEF04BD.
    int GetFileVersionInfo(const char* module_name);
    // "\StringFileInfo\<language><code page>\<key>"; empty when missing.
    std::string GetValue(const char* key) const;
    // "a.b.c.d" of the fixed file version; empty before a successful load.
    std::string FileVersionText() const;
    // Loads the module, calls its exported "DllGetVersion" with the record
    // (its size field set) and frees it. Nonzero on success.
    static int DllGetVersion(const char* module, void* version_record, unsigned record_size);

    // The fixed file information (13 words).
    uint32_t fixed[13];
    uint16_t language;
    uint16_t code_page;

private:
    unsigned char* block_;
};

// The character that the key producing ch gives without modifiers
// (bit 0x1 Control, 0x2 Shift); -1 when no key produces it.
int CharBaseKeyChar(int ch, unsigned modifiers);
#endif

// The value of an environment variable, or null.
const char* EnvGet(const char* name);
