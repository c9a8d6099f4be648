#pragma once
// The one place where the program calls the platform's message box.
// A headless test replaces it, because a real box would block the test
// forever; the program itself never changes it.
//
// The owner is the system's HWND (a pointer to HWND__ in the strict
// declarations the build uses) and the style MessageBoxA's UINT, spelled
// here without the system's header.
struct HWND__;

using QwMessageBoxBackend = int (*)(HWND__* owner, const char* text,
                                    const char* caption, unsigned style);

// Shows a platform message box through the current back end.
int QwPlatformMessageBox(HWND__* owner, const char* text, const char* caption, unsigned style);

// Installs a back end (nullptr restores MessageBoxA); returns the previous one.
QwMessageBoxBackend QwSetMessageBoxBackend(QwMessageBoxBackend backend);
