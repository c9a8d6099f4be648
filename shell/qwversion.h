#pragma once
// Versions of the program and of the libraries it needs, and the check that
// refuses a library that is too old.
#include <cstdint>
#include <ctime>
#include <string>

inline uint32_t MakeVersionWord(unsigned major, unsigned minor) { return (major << 16) | (minor & 0xFFFF); }

// The version of a module (path or name): high word major << 16 | minor, low
// word build << 16 | sub-build, from its exported DllGetVersion or else its
// version resource. With `date`, the build date at the end of the resource's
// "ProductVersion" ("dd.mm.yyyy"; 0 when it does not hold one). 1 when found.
int GetDllVersion(const char* module, uint32_t* high, uint32_t* low, time_t* date);

// Compares two versions: <0, 0, >0 (high words signed, then low unsigned).
int CompareVersions(uint32_t high_a, uint32_t low_a, uint32_t high_b, uint32_t low_b);

// The build date in the last ten characters of a product-version text, or 0.
time_t ParseVersionDate(const char* product_version);

struct QwModuleRow {
    const char* name;
    uint16_t least[4];
    unsigned message;
    int optional;
};

// The libraries the program ships and needs, in check order.
const QwModuleRow* QwModuleTable(int* count);

// 1 when every checked row passes (all rows, or only the row named), 0
// after the row's message. A row set may be given for tests (null: the
// program's table).
int CheckModuleVersions(const char* module, const QwModuleRow* rows = nullptr, int count = 0);

// The program's own version, read once; 1 when known.
int GetVersionNumbers(uint32_t* high, uint32_t* low, time_t* date);
// The program's "ProductVersion" text, with "Version: " before it when asked.
std::string GetAppVersion(int with_label);
