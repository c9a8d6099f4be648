// Engine start-up on Windows: swap file name, cache size, profile values.
#include "VmEngine/create_vms.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "VmEngine/vm.h"
#include "opsys/command_value_source.h"
#include "opsys/files.h"
#include "opsys/fs.h"
#include "opsys/msgout.h"

namespace {

constexpr int kMaxBuffers = 1000;
constexpr int kFileLocking = 647;  // command value: keep streams of read files open
constexpr const char* kSwapPattern = "QW32_Swap.*";

} // namespace

unsigned VmCacheSizeFor(unsigned long long total_physical) {
    unsigned long long tenth = total_physical / 10;
    if (tenth < 2048000ULL)
        return 2048000u;
    if (tenth > 10240000ULL)
        return 10240000u;
    return unsigned(tenth);
}

int VmProfileInt(const char* profile_app, const char* section, const char* key, int def) {
    if (!profile_app || !section || !key)
        return def;
    char path[512];
    std::snprintf(path, sizeof path, "Software\\Kelvora\\%s\\%s", profile_app, section);
    HKEY h = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return def;
    int result = def;
    DWORD type = 0;
    BYTE data[64] = {};
    DWORD size = sizeof data - 1;
    if (RegQueryValueExA(h, key, nullptr, &type, data, &size) == ERROR_SUCCESS) {
        if (type == REG_DWORD && size == sizeof(DWORD)) {
            DWORD v;
            std::memcpy(&v, data, sizeof v);
            result = int(v);
        } else if (type == REG_SZ) {
            data[size] = 0;
            result = std::atoi(reinterpret_cast<const char*>(data));
        }
    }
    RegCloseKey(h);
    return result;
}

int Create_VMS(const char* profile_app) {
    char folder[MAX_PATH + 1] = "";
    DWORD n = GetTempPathA(sizeof folder, folder);
    if (n == 0 || n > MAX_PATH)
        folder[0] = 0;
    char swap[MAX_PATH + 1];
    std::snprintf(swap, sizeof swap, "%s%s", folder, kSwapPattern);
    unsigned error = 0;
    if (!folder[0] || !FileUniqueName(swap, QW_OPEN_READWRITE | QW_OPEN_SHARE_EXCLUSIVE, &error)) {
        MsgOut(QW_MSG_SERIOUS | QW_MSG_LOG | QW_MSG_BOX,
               "QW cannot be started because it cannot create its swap file.\n\nDelete all:\n %s\nfiles in "
               "directory:\n %s\nand try again.",
               kSwapPattern, folder);
        return 0;
    }
    MEMORYSTATUSEX ms;
    ms.dwLength = sizeof ms;
    unsigned long long total = GlobalMemoryStatusEx(&ms) ? ms.ullTotalPhys : 0;
    unsigned cache = VmCacheSizeFor(total);
    uint32_t flags = QwCommandValue(kFileLocking, 0) != 0 ? uint32_t(VMS_F_KEEP_STREAM) : 0u;
    int line_end = VmProfileInt(profile_app, "File Open", "OpenOSType", 0);
    if (!vms_start(kMaxBuffers, cache, swap, flags, line_end)) {
        MsgOut(QW_MSG_SERIOUS | QW_MSG_LOG | QW_MSG_BOX,
               "KV: %s In Create_VMS().\n\nVM System initialization failed.\n\nvms_start( MaxBuffers: %d, "
               "iMemUse: %u, SwapFnm: %s ) failed.",
               "QW32", kMaxBuffers, cache, swap);
        FsRemove(swap);
        return 0;
    }
    return 1;
}
