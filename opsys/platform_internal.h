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
// Appends bytes to a file, creating it; false on failure.
bool append_file(const char* path, const char* data, size_t n);

} // namespace qw_platform
