// Fuzz target: the configuration and history files. One input is the text
// of a configuration file. It is read into history lists; no list may be
// left without a name, and message boxes may come only from a full buffer
// table. What was read is written to the three files, the lists are thrown
// away and read back from them, and must come back the same; written a
// second time the files must be byte for byte the first ones.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "opsys/shell_outlets.h"
#include "Reu/history.h"
#include "Reu/reu_lines.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

const char* const kLists[] = {"Configuration", "Program Titles", "Buffer m",
                              "Buffer o",      "Buffer c",       "Favorites",
                              "Buffer n",      "Buffer f",       "Buffer r",
                              "Include History", "Data File History", "Error Track Types"};
const char* const kFiles[] = {"QwConfig", "QWHistory", "QWBuildSetup"};

int ConfigFolder(char* out, int size, int) {
    std::snprintf(out, static_cast<size_t>(size), "%s", fuzz::Folder().c_str());
    return 1;
}

struct List {
    std::vector<std::string> lines;
    int mark = 0;
    bool operator==(const List&) const = default;
};

std::vector<List> Snapshot() {
    std::vector<List> all;
    for (const char* name : kLists) {
        List l;
        if (VMB* b = vmb_find(VMB_T_TEMP, name)) {
            for (int i = 1; i <= vm_last_ln(b); ++i) l.lines.push_back(fuzz::Line(b, i));
            if (!l.lines.empty()) l.mark = vm_mark_line(b);
        }
        all.push_back(l);
    }
    return all;
}

std::vector<VMB*> InUse() {
    std::vector<VMB*> all;
    vms_for_each_buffer([](VMB* b, void* out, void*) {
        if (vmb_in_use(b)) static_cast<std::vector<VMB*>*>(out)->push_back(b);
        return 0;
    }, &all, nullptr);
    return all;
}

void CloseAll() {
    for (VMB* b : InUse()) vmb_close(b, 0);
}

std::vector<std::string> Files() {
    std::vector<std::string> out;
    for (const char* f : kFiles) {
        std::string bytes;
        fuzz::ReadFile(fuzz::File(f), bytes);
        out.push_back(bytes);
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietMessages();
    fuzz::StartEngine();
    QwShellOutlets outlets{};
    outlets.config_folder = ConfigFolder;
    QwSetShellOutlets(&outlets);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CloseAll();
    const std::string input = fuzz::File("input.cfg");
    fuzz::WriteFile(input, std::string_view(reinterpret_cast<const char*>(data), size));
    fuzz::BoxCount() = 0;
    FUZZ_CHECK(LoadConfigFile(input.c_str()) == 1, "the file was not read");
    const std::vector<VMB*> lists = InUse();
    for (VMB* b : lists) {
        const char* name = vmb_get_name(b, nullptr);
        FUZZ_CHECK(name && *name, "a list without a name");
    }
    // A box says the buffer table is full; never while it has room.
    uint32_t table_size = 0, cache = 0;
    vms_get_limits(&table_size, &cache);
    FUZZ_CHECK(fuzz::BoxCount() == 0 || lists.size() + 2 >= table_size,
               "%d boxes with %zu lists in a table of %u", fuzz::BoxCount(), lists.size(),
               table_size);

    const std::vector<List> before = Snapshot();
    FUZZ_CHECK(SaveHistoryFiles() == 1, "the files were not written");
    const std::vector<std::string> first = Files();
    CloseAll();
    for (const char* f : kFiles) FUZZ_CHECK(LoadConfigFile(fuzz::File(f).c_str()) == 1, "%s", f);
    const std::vector<List> after = Snapshot();
    for (size_t i = 0; i < before.size(); ++i) {
        // An empty list writes no section and so comes back as no list.
        FUZZ_CHECK(before[i] == after[i], "list '%s' changed in the round trip", kLists[i]);
    }
    FUZZ_CHECK(SaveHistoryFiles() == 1, "the files were not written again");
    FUZZ_CHECK(Files() == first, "written twice, the files differ");
    return 0;
}
