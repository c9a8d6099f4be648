// File services built on the platform side of files_win32.cpp / files_posix.cpp.
#include <cstring>
#include <ctime>
#include <mutex>
#include <random>

#include "opsys/files.h"
#include "opsys/strlib.h"

namespace {
std::mutex g_random_mutex;
std::minstd_rand g_random(static_cast<unsigned>(time(nullptr)));

unsigned next_random_extension() {
    std::lock_guard<std::mutex> lock(g_random_mutex);
    return static_cast<unsigned>(g_random() % 255u);
}

// Another try can only help when the name was taken.
bool worth_retrying(unsigned error) {
    return error == QW_ERR_FILE_EXISTS || error == QW_ERR_ACCESS_DENIED || error == 183 /* exists */;
}
} // namespace

int FileCompareTimes(const char* a, const char* b) {
    QwFileInfo ia{}, ib{};
    if (!FileGetInfo(a, &ia, nullptr)) return -2;
    if (!FileGetInfo(b, &ib, nullptr)) return -3;
    if (ia.write_time < ib.write_time) return -1;
    return ia.write_time > ib.write_time ? 1 : 0;
}

int FileUniqueName(char* path, unsigned open_flags, unsigned* error) {
    if (error) *error = QW_ERR_NONE;
    if (!path || PathCheck(path) == 1) {
        if (error) *error = QW_ERR_FILENAME_TOO_LONG;
        return 0;
    }
    char original[QW_PATH_BUF];
    strcpy(original, path);
    unsigned err = QW_ERR_NONE;
    for (int attempt = 0; attempt < 2000; ++attempt) {
        char ext[8];
        UIntToStr(next_random_extension(), ext, sizeof ext, 16);
        strcpy(path, original);
        if (!PathSetExtension(path, ext)) {
            err = QW_ERR_FILENAME_TOO_LONG;
            break;
        }
        if (FileCreateExclusive(path, open_flags | QW_OPEN_NO_ERROR_BOX, &err)) return 1;
        if (!worth_retrying(err)) break;
    }
    strcpy(path, original);
    if (error) *error = err;
    return 0;
}

int FileUniqueExtension(char* path, int tries) {
    if (!path || PathCheck(path) == 1) return 0;
    char original[QW_PATH_BUF];
    strcpy(original, path);
    for (int attempt = 0; attempt < tries; ++attempt) {
        char ext[8];
        UIntToStr(next_random_extension(), ext, sizeof ext, 16);
        strcpy(path, original);
        if (!PathSetExtension(path, ext)) break;
        if (!FileExists(path) && !DirExists(path)) return 1;
    }
    strcpy(path, original);
    return 0;
}
