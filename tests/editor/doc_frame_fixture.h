#pragma once
// Pieces of the Windows tests that run documents in a real MDI frame: a main
// frame that carries out worker-thread open requests as the program's does,
// and a document manager whose Save As dialog answers with a path the test
// sets (empty: the user cancelled).
#include <windows.h>

#include <cstdint>
#include <string>

#include "editor/docmanager.h"
#include "framework/fwframe.h"

namespace doctest {

class WorkerOpenFrame : public fw::MDIFrameWindow {
public:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == WM_QW_WORKER_OPEN) {
            DoWorkerOpenRequest(static_cast<uintptr_t>(wp));
            return 0;
        }
        return fw::MDIFrameWindow::WindowProc(msg, wp, lp);
    }
};

class SaveAsAnswerManager : public CMultiOpenDocManager {
public:
    explicit SaveAsAnswerManager(const std::string* answer) : answer_(answer) {}
    bool DoPromptFileName(std::string& path, const std::string&, DWORD, bool,
                          fw::MultiDocTemplate*) override {
        if (!answer_ || answer_->empty()) return false;
        path = *answer_;
        return true;
    }

private:
    const std::string* answer_;
};

}  // namespace doctest
