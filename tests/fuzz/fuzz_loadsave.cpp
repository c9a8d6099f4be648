// Fuzz target: lazy loading and saving. One input is a few operations and a
// file. The file is attached to a buffer and read only as far as the
// operations reach (a line asked for, an edited line); every line read must
// be the line a model of the loader finds there. A whole save then writes
// the lines read, with their edits, and (through a temporary name) the
// unread rest of the file byte for byte; loading the saved file again must
// give the model's lines of what was saved.
#include <cstdint>
#include <string>
#include <vector>

#include "VmEngine/vm.h"
#include "VmEngine/vmfile.h"
#include "tests/fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::QuietMessages();
    fuzz::StartEngine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Reader in{data, size};
    // Through a temporary name the file is written without being read to
    // its end first, so the unread rest is copied.
    const bool temp_name = in.Byte() & 1;
    // Operations: up to four of (line << 1 | edit) in two bytes, high byte
    // first, each edit followed by its text; a line number of 0 ends them.
    struct Op {
        int line;
        bool edit;
        std::string text;
    };
    std::vector<Op> ops;
    for (int k = 0; k < 4; ++k) {
        int v = in.Byte() << 8;
        v |= in.Byte();
        const bool edit = v & 1;
        const int line = v >> 1;
        if (line == 0) break;
        ops.push_back({line, edit, edit ? in.Text(20) : std::string()});
    }
    const std::string bytes = in.Rest(1 << 20);
    const std::string src = fuzz::File("src.txt"), dst = fuzz::File("dst.txt");
    fuzz::WriteFile(src, bytes);
    fuzz::LoadedLines model = fuzz::LoadModel(bytes);
    const int count = static_cast<int>(model.lines.size());

    VMB* b = vmb_open(VMB_T_FILE, src.c_str(), 0);
    FUZZ_CHECK(b, "no buffer");
    FUZZ_CHECK(vmb_Stream_Open(b, src.c_str(), "r") == 1, "cannot attach the file");
    for (const Op& op : ops) {
        if (op.line > count) continue;
        if (op.edit) {
            // Replacing a line not read yet must replace that line of the file.
            FUZZ_CHECK(vm_replace_line(b, op.line, op.text.data(),
                                       static_cast<int>(op.text.size()), 1) > 0,
                       "line %d not replaced", op.line);
            model.lines[size_t(op.line - 1)] = op.text;
        } else {
            FUZZ_CHECK(vm_map_line(b, op.line), "line %d of %d not reached", op.line, count);
        }
        const int read = vm_last_ln(b);
        FUZZ_CHECK(read >= op.line && read <= count, "%d lines read of %d after line %d", read,
                   count, op.line);
        for (int ln : {op.line, read}) {
            FUZZ_CHECK(fuzz::Line(b, ln) == model.lines[size_t(ln - 1)], "line %d differs", ln);
        }
    }

    // A whole save: the lines read, then the rest of the file as it stands.
    // A save under the target's own name reads the whole file first.
    if (!temp_name) vm_read_lines(b, 0xFFFFFFFFu);
    const int read = vm_last_ln(b);
    FUZZ_CHECK(read <= count, "%d lines read of %d", read, count);
    const bool all = vm_is_fully_read(b) != 0;
    const bool lf = vm_state_flags(b, VM_OP_READ, VM_ST_LF) != 0;
    std::string want;
    for (int ln = 1; ln <= read; ++ln) {
        want += model.lines[size_t(ln - 1)];
        if (ln < read || !all || model.final_break) want += lf ? "\n" : "\r\n";
    }
    if (!all) want.append(bytes, model.offsets[size_t(read)], std::string::npos);
    if (all) {
        FUZZ_CHECK(read == count, "%d lines of %d", read, count);
        FUZZ_CHECK((vm_state_flags(b, VM_OP_READ, VM_ST_FINAL_EOL) != 0) == model.final_break,
                   "final line break state");
    }
    uint32_t r = vmb_save(dst.c_str(), nullptr, nullptr, b, 1, 0, -1, -1,
                          VMB_SAVE_ALL | VMB_SAVE_NO_BACKUP | (temp_name ? VMB_SAVE_TEMP_NAME : 0));
    FUZZ_CHECK((r & VMB_SR_FAILURES) == 0, "save result %x", r);
    vmb_close(b, 0);
    std::string saved;
    FUZZ_CHECK(fuzz::ReadFile(dst, saved), "saved file missing");
    FUZZ_CHECK(saved == want, "saved %zu bytes, expected %zu", saved.size(), want.size());

    // Loaded again, the saved file holds the model's lines.
    const fuzz::LoadedLines again = fuzz::LoadModel(saved);
    VMB* c = vmb_open(VMB_T_FILE, dst.c_str(), 0);
    FUZZ_CHECK(c && vmb_Stream_Open(c, dst.c_str(), "r") == 1, "cannot load the saved file");
    vm_read_lines(c, 0xFFFFFFFFu);
    FUZZ_CHECK(vm_last_ln(c) == static_cast<int>(again.lines.size()), "%d lines loaded, %zu saved",
               vm_last_ln(c), again.lines.size());
    for (int ln = 1; ln <= vm_last_ln(c); ++ln)
        FUZZ_CHECK(fuzz::Line(c, ln) == again.lines[size_t(ln - 1)], "saved line %d differs", ln);
    vmb_close(c, 0);
    std::remove(dst.c_str());
    return 0;
}
