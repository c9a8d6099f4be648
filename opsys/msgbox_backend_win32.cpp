#include "opsys/msgbox_backend.h"

#include <windows.h>

#include <atomic>
#include <type_traits>

static_assert(std::is_same_v<HWND, HWND__*> && std::is_same_v<UINT, unsigned>,
              "the back end's owner and style must stay MessageBoxA's");

namespace {
std::atomic<QwMessageBoxBackend> g_backend{nullptr};
}

int QwPlatformMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
    QwMessageBoxBackend backend = g_backend.load();
    if (backend) return backend(owner, text, caption, style);
    return MessageBoxA(owner, text, caption, style);
}

QwMessageBoxBackend QwSetMessageBoxBackend(QwMessageBoxBackend backend) {
    return g_backend.exchange(backend);
}
