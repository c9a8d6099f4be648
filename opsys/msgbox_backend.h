#pragma once
// The one place where the program calls the platform's message box.
// A headless test replaces it, because a real box would block the test
// forever; the program itself never changes it.
#include <windows.h>

using QwMessageBoxBackend = int (*)(HWND owner, const char* text,
                                    const char* caption, UINT style);

// Shows a platform message box through the current back end.
int QwPlatformMessageBox(HWND owner, const char* text, const char* caption, UINT style);

// Installs a back end (nullptr restores MessageBoxA); returns the previous one.
QwMessageBoxBackend QwSetMessageBoxBackend(QwMessageBoxBackend backend);
