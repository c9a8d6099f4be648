#pragma once
// The crash report: when an exception reaches the top of a thread unhandled,
// a plain-text report (code and name, fault address as module, section and
// offset, registers, call stack) is appended to the report file before the
// system's own handling runs.
//
// The report file is the program's path with its extension replaced by
// "RPT" (none when the extension is shorter than three characters) until
// CrashReportInit names another. Each crash appends one block; a report that
// cannot be written is skipped and the fault goes on as it would have.

// The filter is spelled in plain types (LONG WINAPI, EXCEPTION_POINTERS*)
// so that this header does not need the system's.
struct _EXCEPTION_POINTERS;

// Makes CrashReportFilter the process's unhandled-exception filter (keeping
// the one before it) and names the report file beside the program. Call
// once at start-up, before the application object exists.
void InstallCrashHandler();
// Puts the filter that was there before InstallCrashHandler back.
void RemoveCrashHandler();
// Names the report file (at most 260 characters; null or empty: none).
void CrashReportInit(const char* path);
// The filter: writes the report, then returns what the previous filter
// returns, or EXCEPTION_CONTINUE_SEARCH when there was none.
long __stdcall CrashReportFilter(_EXCEPTION_POINTERS* info);
