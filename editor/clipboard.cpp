// Clipboard and scrap buffer.
#include "editor/clipboard.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "VmEngine/vm.h"
#include "opsys/msgout.h"

namespace {
constexpr size_t kPrivateLimit = 1000000;
constexpr unsigned kIdsNoClipboardMemory = 67;

bool SetClipboardBlock(UINT format, const std::string& data) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE | GMEM_SHARE, data.size() + 1);
    if (!h) return false;
    char* p = static_cast<char*>(GlobalLock(h));
    if (!p) {
        GlobalFree(h);
        return false;
    }
    std::memcpy(p, data.data(), data.size());
    p[data.size()] = 0;
    GlobalUnlock(h);
    if (!SetClipboardData(format, h)) {
        GlobalFree(h);
        return false;
    }
    return true;
}

bool ReadClipboardBlock(UINT format, std::string* out) {
    HANDLE h = GetClipboardData(format);
    if (!h) return false;
    const char* p = static_cast<const char*>(GlobalLock(h));
    if (!p) return false;
    size_t size = GlobalSize(h);
    // The text ends at the block's end or its first zero byte.
    const void* z = std::memchr(p, 0, size);
    out->assign(p, z ? static_cast<const char*>(z) - p : size);
    GlobalUnlock(h);
    return true;
}
} // namespace

UINT RegisterTextFormat() { return RegisterClipboardFormatA("Nask Text Format"); }

VMB* ScrapBuffer() {
    VMB* b = vmb_find(VMB_T_TEMP, "Scrap");
    if (!b) b = vmb_open(VMB_T_TEMP, "Scrap", 0);
    return b;
}

VMB* SetScrapText(const std::string& text, int style) { return SetBufferText(ScrapBuffer(), text, style); }

VMB* SetBufferText(VMB* b, const std::string& text, int style) {
    if (!b) return nullptr;
    VmGuard g;
    vm_clear(b, 0);
    size_t start = 0;
    int n = 0;
    bool final_eol = false;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        size_t stop = end == std::string::npos ? text.size() : end;
        vm_insert_line(b, n++, text.data() + start, int(stop - start));
        if (end == std::string::npos) {
            start = text.size();
            break;
        }
        if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ++end;
        start = end + 1;
        final_eol = start == text.size();
    }
    vm_user_value(b, style);
    vm_state_flags(b, final_eol ? VM_OP_SET : VM_OP_CLEAR, VM_ST_FINAL_EOL);
    return b;
}

bool PutTextOnClipboard(HWND owner, const std::string& text, int style, int how) {
    SetScrapText(text, style);
    if (!OpenClipboard(owner)) return false;
    EmptyClipboard();
    bool ok = SetClipboardBlock(CF_TEXT, text);
    if (ok && text.size() < kPrivateLimit) {
        char head[48];
        std::snprintf(head, sizeof head, "Sel_Style=%d,how=%d\r\n", style, how);
        ok = SetClipboardBlock(RegisterTextFormat(), head + text);
    }
    CloseClipboard();
    if (!ok) MsgOutId(QW_MSG_BOX, kIdsNoClipboardMemory);
    return ok;
}

int ParsePrivateHeader(const char* data, size_t size, size_t* text_start) {
    *text_start = 0;
    const char* eol = static_cast<const char*>(std::memchr(data, '\n', size));
    if (size < 10 || std::strncmp(data, "Sel_Style=", 10) != 0 || !eol) return 0;
    *text_start = size_t(eol - data) + 1;
    int style = std::atoi(data + 10);
    return style >= 0 && style <= 2 ? style : 0;
}

bool GetTextFromClipboard(HWND owner, std::string* text, int* style) {
    if (!OpenClipboard(owner)) return false;
    std::string data;
    bool ok = false;
    *style = 0;
    UINT priv = RegisterTextFormat();
    if (IsClipboardFormatAvailable(priv) && ReadClipboardBlock(priv, &data)) {
        size_t start = 0;
        *style = ParsePrivateHeader(data.data(), data.size(), &start);
        text->assign(data, start, std::string::npos);
        ok = true;
    } else if (ReadClipboardBlock(CF_TEXT, &data)) {
        *text = data;
        ok = true;
    }
    CloseClipboard();
    return ok;
}
