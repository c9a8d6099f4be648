#include "shell/shelldoc.h"

#include "VmEngine/vm.h"
#include "VmEngine/vmfile.h"
#include "editor/textview.h"

FW_IMPLEMENT_DYNCREATE(CQWShellDoc, CQWDoc)

bool CQWShellDoc::OnOpenDocument(const std::string& path) {
    if (!CQWDoc::OnOpenDocument(path)) return false;
    // The first screens now; the rest of the file in idle time.
    if (VMB* b = GetBuffer()) vm_read_lines(b, kFirstLines);
    return true;
}

bool CQWShellDoc::OnSaveDocument(const std::string& path) {
    VMB* b = GetBuffer();
    if (!b) return false;
    uint32_t rc = vmb_save(path.c_str(), nullptr, nullptr, b, 1, 0, vm_line_count(b), -1,
                           VMB_SAVE_ALL | VMB_SAVE_TEMP_NAME);
    if (rc & 0xFFF0u) return false;
    SetModifiedFlag(false);
    return true;
}

void CQWShellDoc::OnIdle() {
    CQWDoc::OnIdle();
    VMB* b = GetBuffer();
    if (!b || vm_is_fully_read(b)) return;
    vm_read_lines(b, uint32_t(vm_line_count(b)) + kIdleLines);
    UpdateAllViews(nullptr, QW_HINT_REPAINT);
}
