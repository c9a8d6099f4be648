// The macro-program machine on hand-assembled program bytes: every opcode's
// effect, the frame layout, the ends of a run with their codes, and the
// region checks of address words and the stack pointer.
#include <climits>
#include <cstring>
#include <thread>

#include "VmEngine/vm.h"
#include "tests/commands/interp_test_support.h"

using namespace itest;

namespace {

Asm Binary(int32_t a, int32_t b, uint8_t op) {
    Asm x;
    x.op5(PUSH, a).op5(PUSH, b).op(op);
    return x;
}
Asm Unary(int32_t a, uint8_t op) {
    Asm x;
    x.op5(PUSH, a).op(op);
    return x;
}

class InterpVm : public InterpTest {};

TEST_F(InterpVm, ArithmeticAndComparisons) {
    struct Case {
        const char* what;
        Asm body;
        int32_t want;
    } cases[] = {
        {"div truncates", Binary(-7, 2, DIV), -3},
        {"mod keeps the sign", Binary(-7, 2, MOD), -1},
        {"shr fills the sign", Binary(-8, 1, SHR), -4},
        {"shl by 33 shifts by 1", Binary(3, 33, SHL), 6},
        {"add wraps", Binary(INT32_MAX, 1, ADD), INT32_MIN},
        {"sub", Binary(5, 9, SUB), -4},
        {"mul keeps the low bits", Binary(0x10000, 0x10001, MUL), 0x10000},
        {"lt signed", Binary(-1, 0, LT), 1},
        {"ge", Binary(0, 0, GE), 1},
        {"gt", Binary(-1, 0, GT), 0},
        {"le", Binary(1, 0, LE), 0},
        {"eq", Binary(4, 4, EQ), 1},
        {"ne", Binary(4, 4, NE), 0},
        {"and", Binary(0xF0F0, 0xFF00, AND), 0xF000},
        {"xor", Binary(0xF0F0, 0xFF00, XOR), 0x0FF0},
        {"or", Binary(0xF0F0, 0xFF00, OR), 0xFFF0},
        {"lnot of 0", Unary(0, LNOT), 1},
        {"lnot of 5", Unary(5, LNOT), 0},
        {"compl", Unary(0, COMPL), -1},
        {"neg of the smallest word", Unary(INT32_MIN, NEG), INT32_MIN},
        {"shr2 is unsigned", Asm().op5(PUSH, -8).op5(SHR2, 0), 1073741822},
        {"shl2 of a deeper word", Asm().op5(PUSH, 5).op5(PUSH, 0).op5(SHL2, -1).op(ADD), 20},
        {"nop does nothing", Asm().op5(PUSH, 7).op(NOP), 7},
    };
    for (auto& c : cases)
        EXPECT_EQ(Eval(c.body), c.want) << c.what;
}

TEST_F(InterpVm, RunEndsWithItsCode) {
    struct Case {
        const char* what;
        Asm body;
        int code;
    } cases[] = {
        {"div by zero", Binary(1, 0, DIV), INTERP_DIV_ZERO},
        {"mod by zero", Binary(1, 0, MOD), INTERP_MOD_ZERO},
        {"smallest word / -1", Binary(INT32_MIN, -1, DIV), INTERP_EXCEPTION},
        {"opcode 0", Asm().op(0x00), INTERP_BAD_OPCODE},
        {"opcode 10", Asm().op(0x0A), INTERP_BAD_OPCODE},
        {"opcode 58", Asm().op(0x3A), INTERP_BAD_OPCODE},
        {"opcode 16 with bits", Asm().op(0xD0), INTERP_BAD_OPCODE},
        {"opcode 24", Asm().op(24), INTERP_BAD_OPCODE},
        {"jump past the code", Asm().op5(JMP, 100000), INTERP_VM_ERROR},
        {"unknown native", Asm().op6(CALLNATIVE, 999, 0), INTERP_BAD_OPCODE},
        {"native with the wrong count", Asm().op5(PUSH, 1).op6(CALLNATIVE, 0, 1), INTERP_DATA},
        {"method on object 0", Asm().op5(PUSH, 0).op6(CALLMETHOD, 0, 0), INTERP_NULL_THIS},
        {"method on a plain word", Asm().op5(PUSH, 0x03000000).op6(CALLMETHOD, 0, 0), INTERP_NULL_THIS},
    };
    for (auto& c : cases) {
        int code = -1;
        Eval(c.body, &code);
        EXPECT_EQ(code, c.code) << c.what;
    }
}

// Address words and stack pointers outside their areas end the run without
// touching memory.
TEST_F(InterpVm, OutOfRangeAccessesEndTheRun) {
    struct Case {
        const char* what;
        Asm body;
        int code;
    } cases[] = {
        {"load past the stack area", Asm().op5(PUSH, 0x02000000 + 8192 * 4).op(LOADW), INTERP_DATA},
        {"word straddling the end", Asm().op5(PUSH, 0x02000000 + 8191 * 4 + 2).op(LOADW), INTERP_DATA},
        {"unknown region", Asm().op5(PUSH, 0x7F000000).op(LOADB), INTERP_DATA},
        {"null address", Asm().op5(PUSH, 0).op(LOADW), INTERP_DATA},
        {"store into a raw pointer value", Asm().op5(PUSH, 0x12345678).op5(PUSH, 1).op(STOREW).op5(PUSH, 0), INTERP_DATA},
        {"data operand without data", Asm().op5(LOAD, 0), INTERP_DATA},
        {"frame operand below the area", Asm().op5(LOAD | F, -100), INTERP_DATA},
        {"frame operand above the area", Asm().op5(STORE | F, 9000), INTERP_DATA},
        {"stack pointer below the area", Asm().op5(ADJSP, -50).op(NOP), INTERP_STACK},
        {"stack pointer past the limit", Asm().op5(ADJSP, 8200).op(NOP), INTERP_STACK},
        {"shl2 offset outside", Asm().op5(SHL2, -5000), INTERP_STACK},
        {"too many pops for a native", Asm().op5(ADJSP, -9).op6(CALLNATIVE, 1, 3), INTERP_STACK},
    };
    for (auto& c : cases) {
        int code = -1;
        Eval(c.body, &code);
        EXPECT_EQ(code, c.code) << c.what;
    }
}

// A read-only region (a host argument given without write access).
TEST_F(InterpVm, ReadOnlyRegionRefusesStores) {
    int32_t ro = 5;
    Asm a = Asm::Main();
    a.op5(LOAD | F, -5).op5(PUSH, 9).op(STOREW).op(RET);
    EXPECT_EQ(Run(a, {InterpValue::Mem(&ro, 4, false)}), INTERP_DATA);
    EXPECT_EQ(ro, 5);
}

TEST_F(InterpVm, ByteAndWordMemoryOps) {
    // Each case works on the word `cell`; its address is the first argument.
    struct Case {
        const char* what;
        uint8_t op;
        uint32_t cell;
        int32_t pushed;
        uint32_t after;
    } cases[] = {
        {"loadb", LOADB, 0x12FF, 0xFF, 0x12FF},
        {"loadw", LOADW, 0xCAFEBABE, int32_t(0xCAFEBABE), 0xCAFEBABE},
        {"incb wraps", INCB_PUSH, 0x01FF, 0, 0x0100},
        {"decb wraps", DECB_PUSH, 0x0100, 0xFF, 0x01FF},
        {"incw", INCW_PUSH, 41, 42, 42},
        {"decw", DECW_PUSH, 0, -1, 0xFFFFFFFF},
        {"push_incb", PUSH_INCB, 0x07, 7, 8},
        {"push_incw", PUSH_INCW, 9, 9, 10},
        {"push_decb", PUSH_DECB, 0, 0, 0xFF},
        {"push_decw", PUSH_DECW, 9, 9, 8},
    };
    for (auto& c : cases) {
        uint32_t cell = c.cell;
        int32_t out[2] = {0, 0};
        Asm a = Asm::Main();
        // out[0] = the pushed value; out[1] = the word left below it
        bool leaves_address = c.op != LOADB && c.op != LOADW;
        a.op5(ADJSP, 2);     // two locals
        a.op5(LOAD | F, -6); // &cell
        a.op(c.op);
        a.op5(STORE | F, 1); // the pushed value
        if (leaves_address)
            a.op5(ADJSP, -1).op5(STORE | F, 2); // the word below it
        a.op5(LOAD | F, -5).op5(LOAD | F, 1).op(STOREW);
        a.op5(LOAD | F, -5).op5(PUSH, 4).op(ADD).op5(LOAD | F, 2).op(STOREW).op(RET);
        int code = Run(a, {InterpValue::Mem(&cell, 4, true), InterpValue::Mem(out, 8, true)});
        EXPECT_EQ(code, INTERP_OK) << c.what;
        EXPECT_EQ(out[0], c.pushed) << c.what;
        EXPECT_EQ(cell, c.after) << c.what;
        if (leaves_address) {
            EXPECT_EQ(uint32_t(out[1]) >> 24, 3u) << c.what << ": the address stays below";
        }
    }
}

TEST_F(InterpVm, StoreByteKeepsTheWholeWord) {
    int32_t cell = 0x55555555;
    int32_t kept = 0;
    Asm a = Asm::Main();
    a.op5(LOAD | F, -6).op5(PUSH, 0x1234).op(STOREB).op5(STORE | F, 1);
    a.op5(LOAD | F, -5).op5(LOAD | F, 1).op(STOREW).op(RET);
    EXPECT_EQ(Run(a, {InterpValue::Mem(&cell, 4, true), InterpValue::Mem(&kept, 4, true)}), INTERP_OK);
    EXPECT_EQ(kept, 0x1234);
    EXPECT_EQ(uint32_t(cell), 0x55555534u);
}

TEST_F(InterpVm, OperandOpcodesOnFrameAndData) {
    // Each opcode 1..9 on data word 1 and on a local; the pushed value and
    // the word afterwards are stored into out[0], out[1].
    struct Case {
        uint8_t op;
        int32_t v;
        int32_t pushed;
        int32_t after;
    } cases[] = {
        {INC_PUSH, 5, 6, 6}, {DEC_PUSH, 5, 4, 4}, {PUSH_INC, 5, 5, 6}, {PUSH_DEC, 5, 5, 4},
        {ADD3, 5, 99, 8},    {SUB3, 5, 99, 2},    {LOAD, 5, 5, 5},
    };
    for (bool frame : {false, true}) {
        for (auto& c : cases) {
            int32_t out[2] = {0, 0};
            uint8_t sp = frame ? F : 0;
            Asm a = Asm::Main();
            a.op5(ADJSP, 2); // local 1 is V on the frame, local 2 the pushed value
            if (frame)
                a.op5(PUSH, c.v).op5(STORE | F, 1);
            a.op5(PUSH, 99).op5(c.op | sp, 1).op5(STORE | F, 2);
            a.op5(LOAD | F, -5).op5(LOAD | F, 2).op(STOREW);
            a.op5(LOAD | F, -5).op5(PUSH, 4).op(ADD).op5(LOAD | sp, 1).op(STOREW).op(RET);
            int code = Run(a, {InterpValue::Mem(out, 8, true)}, {0, c.v});
            EXPECT_EQ(code, INTERP_OK) << int(c.op) << (frame ? " frame" : " data");
            EXPECT_EQ(out[0], c.pushed) << int(c.op) << (frame ? " frame" : " data");
            EXPECT_EQ(out[1], c.after) << int(c.op) << (frame ? " frame" : " data");
        }
    }
    // STORE keeps the top; ADDR pushes addresses that LOADW reads back.
    int32_t out = 0;
    Asm a = Asm::Main();
    a.op5(PUSH, 77).op5(STORE, 2).op5(ADDR, 2).op(LOADW).op5(STORE | F, 0);
    a.op5(LOAD | F, -5).op5(LOAD | F, 0).op(STOREW).op(RET);
    EXPECT_EQ(Run(a, {InterpValue::Mem(&out, 4, true)}, {0, 0, 0}), INTERP_OK);
    EXPECT_EQ(out, 77);
}

TEST_F(InterpVm, JumpsAndStatementBase) {
    // JNZ leaves the tested word; JZPOP pops it whether it jumps or not.
    Asm taken = Asm::Main();
    taken.op5(LOAD | F, -5).op5(PUSH, 3);
    size_t j = taken.pos();
    taken.op5(JNZ, 0);
    taken.op5(PUSH, 100).op(ADD);
    taken.patch(j + 1, int32_t(taken.pos()));
    taken.op(STOREW).op(RET);
    int32_t out = 0;
    EXPECT_EQ(Run(taken, {InterpValue::Mem(&out, 4, true)}), INTERP_OK);
    EXPECT_EQ(out, 3);

    for (int32_t test : {0, 1}) {
        Asm z = Asm::Main();
        z.op5(LOAD | F, -5).op5(PUSH, 11).op5(PUSH, test);
        size_t p = z.pos();
        z.op6(JZPOP, 0, 1);
        z.patch(p + 1, int32_t(z.pos()));
        z.op(STOREW).op(RET);
        out = 0;
        EXPECT_EQ(Run(z, {InterpValue::Mem(&out, 4, true)}), INTERP_OK);
        EXPECT_EQ(out, 11) << "test word " << test;
    }

    // 0xB9: NOP with bit 7 drops what the statement left above the base.
    Asm r = Asm::Main();
    r.op5(ADJSP, 1).op5(LOAD | F, -5).op5(STORE | F, 1);
    r.op5(PUSH, 1).op5(PUSH, 2).op(0xB9);
    r.op5(LOAD | F, 1).op5(PUSH, 5).op(STOREW).op(RET);
    out = 0;
    EXPECT_EQ(Run(r, {InterpValue::Mem(&out, 4, true)}), INTERP_OK);
    EXPECT_EQ(out, 5);
}

TEST_F(InterpVm, FirstCallTakesTheHostWords) {
    // Three host words; the called function finds them at FP-7..FP-5, the
    // argument count is 3, and its return replaces them by the result.
    int32_t out[4] = {0, 0, 0, 0};
    Asm a;
    a.op6(CALL, 11, 0).op5(JMP, 0);
    // FP-5 is the third word: the address of out.
    a.op5(LOAD | F, -5).op5(LOAD | F, -7).op(STOREW);
    a.op5(LOAD | F, -5).op5(PUSH, 4).op(ADD).op5(LOAD | F, -6).op(STOREW);
    a.op5(LOAD | F, -5).op5(PUSH, 8).op(ADD).op6(CALLNATIVE, 0, 0).op(STOREW);
    a.op5(LOAD | F, -5).op5(PUSH, 12).op(ADD).op5(LOAD | F, -2).op(STOREW);
    a.op(RET);
    EXPECT_EQ(Run(a, {InterpValue::W(41), InterpValue::W(42), InterpValue::Mem(out, 16, true)}), INTERP_OK);
    EXPECT_EQ(out[0], 41);
    EXPECT_EQ(out[1], 42);
    EXPECT_EQ(out[2], 3);
    EXPECT_EQ(out[3], 3);
    EXPECT_EQ(Interp_ArgCount(), 3);
    // The count belongs to the thread: a run elsewhere leaves this one's.
    std::thread([&] {
        int32_t one = 0;
        Asm b = Asm::Main();
        b.op5(LOAD | F, -5).op6(CALLNATIVE, 0, 0).op(STOREW).op(RET);
        EXPECT_EQ(Run(b, {InterpValue::Mem(&one, 4, true)}), INTERP_OK);
        EXPECT_EQ(one, 1);
    }).join();
    EXPECT_EQ(Interp_ArgCount(), 3);

    // A nested call: the callee's RET replaces its two arguments by r.
    Asm n = Asm::Main();
    n.op5(LOAD | F, -5).op5(PUSH, 30).op5(PUSH, 12);
    size_t call = n.pos();
    n.op6(CALL, 0, 2).op(STOREW).op(RET);
    n.patch(call + 1, int32_t(n.pos()));
    n.op5(LOAD | F, -6).op5(LOAD | F, -5).op(SUB).op(RET);
    int32_t r = 0;
    EXPECT_EQ(Run(n, {InterpValue::Mem(&r, 4, true)}), INTERP_OK);
    EXPECT_EQ(r, 18);
}

TEST_F(InterpVm, EndsAtPositionZero) {
    Asm ret;
    ret.op(RET);
    EXPECT_EQ(Run(ret, {}), INTERP_OK) << "return at the outermost level";
    Asm jmp;
    jmp.op(NOP).op5(JMP, 0);
    EXPECT_EQ(Run(jmp, {}), INTERP_OK) << "jump to position 0";
    Asm empty;
    EXPECT_EQ(Run(empty, {}), INTERP_VM_ERROR) << "no code lines";
}

TEST_F(InterpVm, EndlessRecursionBreaksTheStack) {
    Asm a = Asm::Main();
    a.op5(PUSH, 1).op6(CALL, 11, 1);
    EXPECT_EQ(Run(a, {}), INTERP_STACK);
}

TEST_F(InterpVm, CodeAcrossLinesAndLongJumps) {
    // 4077-byte code lines: an instruction that straddles the first line
    // break runs whole, and a jump back passes the lines between.
    Asm a = Asm::Main();
    a.op5(LOAD | F, -5);
    while (a.pos() < 4075)
        a.op(NOP);
    a.op5(PUSH, 1234); // bytes 4075..4079
    a.op(STOREW).op(RET);
    int32_t out = 0;
    EXPECT_EQ(Run(a, {InterpValue::Mem(&out, 4, true)}), INTERP_OK);
    EXPECT_EQ(out, 1234);

    // A loop whose body spans three lines: counts to 3 by jumping back.
    Asm l = Asm::Main();
    l.op5(ADJSP, 1).op5(PUSH, 0).op5(STORE | F, 1);
    size_t top = l.pos();
    l.op5(INC_PUSH | F, 1).op5(PUSH, 3).op(LT);
    size_t exit = l.pos();
    l.op6(JZPOP, 0, 1);
    while (l.pos() < 9000)
        l.op(NOP | RESET);
    l.op5(JMP, int32_t(top));
    l.patch(exit + 1, int32_t(l.pos()));
    l.op5(LOAD | F, -5).op5(LOAD | F, 1).op(STOREW).op(RET);
    out = 0;
    EXPECT_EQ(Run(l, {InterpValue::Mem(&out, 4, true)}), INTERP_OK);
    EXPECT_EQ(out, 3);
}

TEST_F(InterpVm, StringNativesCheckTheirTexts) {
    char text[] = "hello";
    char unterminated[4] = {'a', 'b', 'c', 'd'};
    struct Case {
        InterpValue arg;
        int code;
        int32_t len;
    } cases[] = {{InterpValue::Mem(text, 6, false), INTERP_OK, 5},
                 {InterpValue::Mem(unterminated, 4, false), INTERP_DATA, -1}};
    for (auto& c : cases) {
        int32_t out = -1;
        Asm a = Asm::Main();
        a.op5(LOAD | F, -5).op5(LOAD | F, -6).op6(CALLNATIVE, 1, 1).op(STOREW).op(RET);
        EXPECT_EQ(Run(a, {c.arg, InterpValue::Mem(&out, 4, true)}), c.code);
        EXPECT_EQ(out, c.len);
    }
}

// Random program bytes (a damaged or hostile file): every run ends with one
// of its codes, never touching memory outside its regions.
TEST_F(InterpVm, RandomBytesEndCleanly) {
    interp_set_poll([](const char*) { return false; });
    uint32_t seed = 12345;
    auto next = [&] {
        seed = seed * 1103515245u + 12345u;
        return seed >> 8;
    };
    for (int i = 0; i < 300; ++i) {
        Asm a;
        int n = 16 + int(next() % 200);
        for (int k = 0; k < n; ++k) {
            uint32_t r = next();
            // Mostly valid opcodes with small operands, so runs get somewhere.
            a.code.push_back(k % 5 == 0 ? uint8_t(r) : (r & 1) ? uint8_t((r >> 1) % 58) : uint8_t(r >> 4 & 7));
        }
        std::vector<int32_t> data(size_t(next() % 8), int32_t(next()));
        int32_t scratch[4] = {0, 0, 0, 0};
        int code = Run(a, {InterpValue::W(int32_t(next())), InterpValue::Mem(scratch, sizeof scratch, true)}, data);
        EXPECT_GE(code, INTERP_OK);
        EXPECT_LE(code, INTERP_STOPPED);
    }
    interp_set_poll(nullptr);
}

} // namespace
