// Entry of the editor program.
#include <windows.h>

#include "opsys/crashrpt.h"
#include "shell/qwapp.h"
#include "shell/qwversion.h"
#include "shell/statusbar_install.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    InstallCrashHandler();
    int rc = 1;
    // The libraries beside the program must be the ones it was built with.
    if (CheckModuleVersions(nullptr)) {
        QwInstallStatusPieces();
        CQWApp app;
        rc = app.Main();
    }
    RemoveCrashHandler();
    return rc;
}
