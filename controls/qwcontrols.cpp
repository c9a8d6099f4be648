#include "controls/qwcontrols.h"

#include <vector>

namespace {
HMODULE g_module = nullptr;
}

BOOL WINAPI DllMain(HINSTANCE inst, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = inst;
        DisableThreadLibraryCalls(inst);
    }
    return TRUE;
}

extern "C" HRESULT CALLBACK DllGetVersion(DLLVERSIONINFO* info) {
    if (!info || info->cbSize < sizeof(DLLVERSIONINFO)) return E_INVALIDARG;
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(g_module, path, sizeof(path));
    if (n == 0 || n >= sizeof(path)) return E_FAIL;
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &handle);
    if (!size) return E_FAIL;
    std::vector<char> block(size);
    if (!GetFileVersionInfoA(path, 0, size, block.data())) return E_FAIL;
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    if (!VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &len) ||
        len < sizeof(VS_FIXEDFILEINFO))
        return E_FAIL;
    info->dwMajorVersion = HIWORD(fixed->dwFileVersionMS);
    info->dwMinorVersion = LOWORD(fixed->dwFileVersionMS);
    info->dwBuildNumber = HIWORD(fixed->dwFileVersionLS);
    info->dwPlatformID = DLLVER_PLATFORM_WINDOWS;
    return S_OK;
}
