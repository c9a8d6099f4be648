#pragma once
// The operating-system side of the portable services (one implementation
// per build: *_win32.cpp and *_posix.cpp). Internal to opsys.
#include <cstddef>
#include <cstdint>

struct QwStatusRequest;

namespace qw_platform {

unsigned long current_thread_id();
// The platform's message box (the replaceable back end on Windows).
int message_box(void* owner, const char* text, const char* caption, unsigned style);
void* active_window();
void beep(unsigned sound);
// The string's length, 0 when missing (never reports).
int load_string(unsigned id, char* out, int size);
int load_rcdata(unsigned id, void* out, unsigned* size);
// Posts the status-bar request to the window; false when it could not be posted.
bool post_status(void* window, QwStatusRequest* rec);
// Sends a message to a window (nothing in the host build).
void send_message(void* window, unsigned msg, uintptr_t wparam, intptr_t lparam);
// The program's folder and the temporary folder, without a trailing separator.
bool program_dir(char* out, size_t size);
bool temp_dir(char* out, size_t size);

// The file side (files_win32.cpp, files_posix.cpp) under the services of
// files_common.cpp. A file time is 100 ns since 1601, local.
// The date of a file time (short or long form) and its time (24-hour form
// or the 12-hour one), in the user's conventions; the length, 0 on failure.
int file_date_text(char* dst, int size, uint64_t file_time, int short_form);
int file_time_text(char* dst, int size, uint64_t file_time, int hours24);
// Creates one folder; true when it exists afterwards.
bool make_dir(const char* path);
// The QW_ERR_* form of a system error number of the file-system seam.
unsigned file_error(int system_error);

// Characters (0-255) in the program's code page: its case and its classes.
int char_upper(int c);
int char_lower(int c);
int char_is_lower(int c);
int char_is_upper(int c);
int char_is_alpha(int c);
int char_is_alnum(int c);
// OEM characters to the program's code page and back, in place (the host
// build has no OEM code page: nothing changes).
void oem_to_ansi(char* s, size_t n);
void ansi_to_oem(char* s, size_t n);

} // namespace qw_platform
