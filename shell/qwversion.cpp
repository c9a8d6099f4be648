#include "shell/qwversion.h"

#include <windows.h>
#include <shlwapi.h>

#include <cctype>
#include <cstring>

#include "opsys/msgout.h"
#include "opsys/systime.h"
#include "shell/shellstrings.h"

namespace {

const QwModuleRow kModules[] = {
    {"QWFramework.dll", {4, 0, 0, 0}, IDS_QW_DLL_OUTDATED, 0},
    {"QWControls.dll", {1, 0, 0, 3}, IDS_QW_DLL_OUTDATED, 0},
    {"VoroSpell.dll", {1, 0, 0, 3}, IDS_QW_SPELL_OUTDATED, 1},
};

uint32_t g_app_high = 0xFFFFFFFFu, g_app_low = 0xFFFFFFFFu;
time_t g_app_date = 0;

std::string ProgramPath() {
    char self[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, self, sizeof self);
    return self;
}

} // namespace

time_t ParseVersionDate(const char* text) {
    size_t n = text ? std::strlen(text) : 0;
    if (n < 10) return 0;
    const char* d = text + n - 10;
    auto digits = [&](int at, int count) {
        int v = 0;
        for (int i = 0; i < count; ++i) {
            if (!std::isdigit(static_cast<unsigned char>(d[at + i]))) return -1;
            v = v * 10 + (d[at + i] - '0');
        }
        return v;
    };
    int day = digits(0, 2), month = digits(3, 2), year = digits(6, 4);
    if (day < 1 || day > 31 || month < 1 || month > 12 || year < 1970) return 0;
    struct tm tm{};
    tm.tm_mday = day;
    tm.tm_mon = month - 1;
    tm.tm_year = year - 1900;
    tm.tm_hour = 12;
    tm.tm_isdst = -1;
    time_t t = mktime(&tm);
    return t == time_t(-1) ? 0 : t;
}

int GetDllVersion(const char* module, uint32_t* high, uint32_t* low, time_t* date) {
    if (date) *date = 0;
    DLLVERSIONINFO2 dvi2{};
    dvi2.info1.cbSize = sizeof dvi2;
    DLLVERSIONINFO dvi{};
    dvi.cbSize = sizeof dvi;
    bool asked = CModuleVersion::DllGetVersion(module, &dvi2, sizeof dvi2) != 0;
    if (asked) {
        dvi = dvi2.info1;
    } else {
        asked = CModuleVersion::DllGetVersion(module, &dvi, sizeof dvi) != 0;
        dvi2.ullVersion = 0;
    }
    if (asked) {
        *high = MakeVersionWord(dvi.dwMajorVersion, dvi.dwMinorVersion);
        *low = (dvi.dwBuildNumber & 0xFFFF) << 16;
        // The sub-build: from the long record when the module filled it in,
        // else from its version resource when that names the same version.
        ULONGLONG v = dvi2.ullVersion;
        if (v && HIWORD(v >> 32) == dvi.dwMajorVersion && LOWORD(v >> 32) == dvi.dwMinorVersion &&
            HIWORD(v & 0xFFFFFFFFu) == dvi.dwBuildNumber) {
            *low |= unsigned(v & 0xFFFF);
        } else {
            CModuleVersion res;
            if (res.GetFileVersionInfo(module) && res.fixed[2] == *high && (res.fixed[3] >> 16) == (*low >> 16))
                *low = res.fixed[3];
        }
        return 1;
    }
    CModuleVersion ver;
    if (!ver.GetFileVersionInfo(module)) return 0;
    *high = ver.fixed[2];
    *low = ver.fixed[3];
    if (date) *date = ParseVersionDate(ver.GetValue("ProductVersion").c_str());
    return 1;
}

int CompareVersions(uint32_t ha, uint32_t la, uint32_t hb, uint32_t lb) {
    if (int32_t(ha) != int32_t(hb)) return int32_t(ha) < int32_t(hb) ? -1 : 1;
    if (la != lb) return la < lb ? -1 : 1;
    return 0;
}

const QwModuleRow* QwModuleTable(int* count) {
    if (count) *count = int(sizeof kModules / sizeof kModules[0]);
    return kModules;
}

int CheckModuleVersions(const char* module, const QwModuleRow* rows, int count) {
    if (!rows) rows = QwModuleTable(&count);
    for (int i = 0; i < count; ++i) {
        const QwModuleRow& r = rows[i];
        if (module && _stricmp(module, r.name) != 0) continue;
        uint32_t high = 0, low = 0;
        if (!GetDllVersion(r.name, &high, &low, nullptr)) {
            if (r.optional) {
                if (module) return 1;
                continue;
            }
            MsgOutId(QW_MSG_ID | QW_MSG_BOX | QW_MSG_INFO | QW_MSG_VERSION, IDS_QW_DLL_NO_VERSION, r.name);
            return 0;
        }
        uint32_t lh = MakeVersionWord(r.least[0], r.least[1]), ll = MakeVersionWord(r.least[2], r.least[3]);
        if (CompareVersions(high, low, lh, ll) >= 0) continue;
        MsgOutId(QW_MSG_ID | QW_MSG_BOX | QW_MSG_INFO | QW_MSG_VERSION, r.message, r.name, high >> 16,
                 high & 0xFFFF, low >> 16, low & 0xFFFF, unsigned(r.least[0]), unsigned(r.least[1]),
                 unsigned(r.least[2]), unsigned(r.least[3]));
        if (!r.optional || module) return 0;
    }
    return 1;
}

int GetVersionNumbers(uint32_t* high, uint32_t* low, time_t* date) {
    if (g_app_high == 0xFFFFFFFFu || g_app_low == 0xFFFFFFFFu) {
        std::string path = ProgramPath();
        uint32_t h = 0, l = 0;
        time_t d = 0;
        if (!GetDllVersion(path.c_str(), &h, &l, &d)) {
            MsgOut(QW_MSG_SERIOUS | QW_MSG_LOG | QW_MSG_BOX, "KV: In CQWApp::GetAppVersion(). GetDllVersion( '%s' ) failed",
                   path.c_str());
            return 0;
        }
        g_app_high = h;
        g_app_low = l;
        g_app_date = d;
    }
    if (high) *high = g_app_high;
    if (low) *low = g_app_low;
    if (date) *date = g_app_date;
    return 1;
}

std::string GetAppVersion(int with_label) {
    std::string path = ProgramPath();
    CModuleVersion ver;
    std::string text;
    if (ver.GetFileVersionInfo(nullptr)) text = ver.GetValue("ProductVersion");
    if (text.empty()) {
        MsgOut(QW_MSG_LOG, "KV: In CQWApp::GetAppVersion(). GetDllVersion( '%s' ) failed", path.c_str());
        return text;
    }
    return with_label ? "Version: " + text : text;
}
