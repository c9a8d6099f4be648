#include "opsys/msgbox_backend.h"

#include <atomic>

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
