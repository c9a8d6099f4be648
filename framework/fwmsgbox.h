#pragma once
// Message boxes and texts of the framework.
//
// Every box the framework shows (file and archive failures, the save-changes
// prompt, data-exchange failures) goes through one replaceable handler, so a
// program routes them to its own message layer and a headless test records
// them. The program installs its handler once at start-up:
//
//   fw::SetMessageBoxHandler(&QwPlatformMessageBox);
//
// Without a handler the framework calls MessageBoxA. The caption is the
// application title (fw::SetAppTitle; the program's file name by default).
#include <string>

#include "framework/fwexport.h"

struct HWND__;

namespace fw {

using MessageBoxHandler = int (*)(HWND__* owner, const char* text, const char* caption,
                                  unsigned style);

// Installs a handler (null restores MessageBoxA); returns the previous one.
QWFW_API MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);
// Shows a box through the handler; the caption defaults to the app title.
QWFW_API int ShowMessageBox(const std::string& text, unsigned style,
                            const char* caption = nullptr, HWND__* owner = nullptr);

QWFW_API void SetAppTitle(const std::string& title);
QWFW_API std::string AppTitle();

// A string of the framework's own string table; empty when missing.
QWFW_API std::string LoadFrameworkString(unsigned id);
// Replaces the first "%s" of `pattern` by `arg`.
QWFW_API std::string FormatOne(const std::string& pattern, const std::string& arg);

} // namespace fw
