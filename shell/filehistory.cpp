#include "shell/filehistory.h"

#include <cstring>
#include <string>

#include "Reu/history.h"
#include "VmEngine/vm.h"
#include "commands/cmdvalues.h"
#include "opsys/strlib.h"

namespace {

const char kList[] = "File History";

std::string LineText(VMB* b, int line) {
    int len = vm_line_length(b, line);
    if (len < 0) return {};
    std::string s(size_t(len) + 1, '\0');
    int n = vm_read_text(b, line, 0, s.data(), len, nullptr);
    s.resize(n < 0 ? 0 : size_t(n));
    return s;
}

bool Blank(const char* s) {
    for (; s && *s; ++s)
        if (*s != ' ' && *s != '\t') return false;
    return true;
}

std::string MakeLine(const char* path, const char* text, const char* data) {
    return std::string(path) + "\t" + (text ? text : "") + "\t" + (data ? data : "");
}

void Split(const std::string& line, std::string* path, std::string* text, std::string* data) {
    size_t a = line.find('\t');
    size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
    if (path) *path = line.substr(0, a);
    if (text) *text = a == std::string::npos ? std::string() : line.substr(a + 1, b == std::string::npos ? b : b - a - 1);
    if (data) *data = b == std::string::npos ? std::string() : line.substr(b + 1);
}

char* HeapCopy(const std::string& s) {
    char* p = new char[s.size() + 1];
    std::memcpy(p, s.c_str(), s.size() + 1);
    return p;
}

} // namespace

VMB* FileHistory_Buffer() { return vmb_open(VMB_T_TEMP, kList, VMB_O_FILE); }

int FileHistory_Add(const char* path, const char* text, const char* data) {
    if (!path || Blank(path)) return 0;
    std::string line = MakeLine(path, text, data);
    HistoryListAccess(kList, line.data(), HL_OP_ADD, HL_TOP | HL_CMP_FIRST_TAB | HL_CMP_NOCASE);
    return 1;
}

int FileHistory_Find(char* text, char** data, const char* path) {
    if (data) *data = nullptr;
    if (text) *text = 0;
    VMB* b = vmb_open(VMB_T_TEMP, kList, VMB_O_FINDONLY);
    if (!b || !path) return 0;
    int n = vm_line_count(b);
    for (int i = 1; i <= n; ++i) {
        std::string p, t, d;
        Split(LineText(b, i), &p, &t, &d);
        if (_stricmp(p.c_str(), path) != 0) continue;
        if (text) {
            std::strncpy(text, t.c_str(), HL_ENTRY_MAX);
            text[HL_ENTRY_MAX] = 0;
        }
        if (data) *data = HeapCopy(d);
        return i;
    }
    return 0;
}

int FileHistory_Get(char* path, char* text, int text_size, char** data, int line) {
    if (data) *data = nullptr;
    VMB* b = vmb_open(VMB_T_TEMP, kList, VMB_O_FINDONLY);
    if (!b || line < 1 || line > vm_line_count(b)) return 0;
    std::string p, t, d;
    Split(LineText(b, line), &p, &t, &d);
    if (path) std::strcpy(path, p.substr(0, 260).c_str());
    if (text && text_size > 0) {
        std::strncpy(text, t.c_str(), size_t(text_size - 1));
        text[text_size - 1] = 0;
    }
    if (data) *data = HeapCopy(d);
    return 1;
}

int FileHistory_Append(const char* path, const char* text, const char* data) {
    VMB* b = vmb_open(VMB_T_TEMP, kList, VMB_O_FILE);
    if (!b) return 0;
    if (!path) {
        int rc = vm_clear(b, 0);
        vm_seq_next(b);
        return rc;
    }
    if (!*path) return 0;
    int limit = cmd_get_value(HL_HISTORY_SIZE_ID);
    if (limit < 0) limit = HL_HISTORY_SIZE_DEFAULT;
    if (vm_line_count(b) > limit) return 0;
    return vm_append_line(b, MakeLine(path, text, data).c_str()) > 0 ? 1 : 0;
}
