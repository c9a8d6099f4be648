#pragma once
// The controls library's exports.
#include <windows.h>
#include <shlwapi.h>

#ifdef QWCTL_BUILD
#define QWCTL_API __declspec(dllexport)
#else
#define QWCTL_API __declspec(dllimport)
#endif

// The shell's version query: the library's file version from its version
// resource (major, minor, build).
extern "C" QWCTL_API HRESULT CALLBACK DllGetVersion(DLLVERSIONINFO* info);
