#include "opsys/shell_outlets.h"

#include <cstdlib>
#include <cstring>
#include <mutex>

#include "opsys/paths.h"
#include "opsys/platform_internal.h"

namespace {
std::mutex g_mutex;
QwShellOutlets g_outlets{};
} // namespace

void QwSetShellOutlets(const QwShellOutlets* outlets) {
    std::lock_guard<std::mutex> lock(g_mutex);
    if (outlets) g_outlets = *outlets;
    else g_outlets = QwShellOutlets{};
}

QwShellOutlets QwGetShellOutlets() {
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_outlets;
}

void QwStatusRequestFree(QwStatusRequest* rec) {
    if (!rec) return;
    free(rec->text);
    delete rec;
}

int IsAppThread() {
    unsigned long id = QwGetShellOutlets().app_thread_id;
    return id != 0 && id == qw_platform::current_thread_id();
}

char* GetConfigFilePath(char* out, const char* name, int flag) {
    if (!out) return nullptr;
    out[0] = '\0';
    QwShellOutlets o = QwGetShellOutlets();
    char folder[QW_PATH_BUF];
    if (!o.config_folder || !o.config_folder(folder, sizeof folder, flag)) return nullptr;
    folder[QW_PATH_MAX] = '\0';
    if (!name || !*name) {
        strcpy(out, folder);
        return out;
    }
    return PathJoin(out, folder, name);
}

char* GetLogFilePath(char* dest, const char* file_name) {
    if (!dest) return nullptr;
    dest[0] = '\0';
    QwShellOutlets o = QwGetShellOutlets();
    char folder[QW_PATH_BUF];
    if (!file_name || !*file_name || !o.user_files_folder ||
        !o.user_files_folder(folder, sizeof folder))
        return nullptr;
    folder[QW_PATH_MAX] = '\0';
    return PathJoin(dest, folder, file_name);
}
