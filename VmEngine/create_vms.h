#pragma once
// Start of the buffer engine at application start (Windows build): makes the
// swap file, sizes the page cache from the machine's memory and starts the
// engine, reporting either failure in a serious-error box.
//
// profile_app: the application's key under the maker's registry key
// (HKEY_CURRENT_USER\Software\Kelvora\<profile_app>), where the profile
// value "OpenOSType" of section "File Open" is read. Returns nonzero when
// the engine runs; 0 means start-up must end.
int Create_VMS(const char* profile_app);

// Page-cache size for a machine with `total_physical` bytes: a tenth,
// clamped to 2,048,000 ... 10,240,000.
unsigned VmCacheSizeFor(unsigned long long total_physical);

// An integer of the application's registry profile (REG_DWORD, or a decimal
// string), or `def` when it is missing.
int VmProfileInt(const char* profile_app, const char* section, const char* key, int def);
