#pragma once
// Fixture of the interpreter tests: a started engine, captured message
// boxes, status texts and output lines, the application thread set to the
// test's thread, and the host's paths pointed at a fresh folder; plus a
// small assembler for hand-made program bytes.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "commands/interp.h"
#include "tests/support/temp_dir.h"

namespace itest {

enum Op : uint8_t {
    INC_PUSH = 1, DEC_PUSH, PUSH_INC, PUSH_DEC, ADD3, SUB3, STORE, ADDR, LOAD,
    PUSH = 12, SHL2, SHR2, ADJSP, JMP = 17, JNZ, JZPOP = 20, CALLNATIVE, CALLMETHOD, CALL,
    RET = 25, LOADB, LOADW, STOREB, STOREW, INCB_PUSH, DECB_PUSH, INCW_PUSH, DECW_PUSH,
    PUSH_INCB, PUSH_INCW, PUSH_DECB, PUSH_DECW, LNOT, COMPL, NEG, MUL, DIV, MOD, ADD, SUB,
    SHL, SHR, LT, GE, GT, LE, EQ, NE, AND, XOR, OR, NOP,
};
constexpr uint8_t F = 0x40;     // frame operand
constexpr uint8_t RESET = 0x80; // stack pointer to the statement base first

// Builds code bytes. Main() lays out the usual start: position 0 calls the
// body (the host's words become its arguments), position 6 jumps to 0.
struct Asm {
    std::vector<uint8_t> code;
    size_t pos() const { return code.size(); }
    Asm& op(uint8_t o) {
        code.push_back(o);
        return *this;
    }
    Asm& op5(uint8_t o, int32_t k) {
        code.push_back(o);
        for (int i = 0; i < 4; ++i)
            code.push_back(uint8_t(uint32_t(k) >> (8 * i)));
        return *this;
    }
    Asm& op6(uint8_t o, int32_t k, uint8_t n) {
        op5(o, k);
        code.push_back(n);
        return *this;
    }
    void patch(size_t at, int32_t v) {
        for (int i = 0; i < 4; ++i)
            code[at + size_t(i)] = uint8_t(uint32_t(v) >> (8 * i));
    }
    static Asm Main() {
        Asm a;
        a.op6(CALL, 11, 0).op5(JMP, 0);
        return a;
    }
    // The program file: header, code, data words.
    std::string Image(const std::vector<int32_t>& data = {}, int version = 300) const;
};

class InterpTest : public ::testing::Test {
public:
    static std::vector<std::string>& Boxes();
    static std::vector<std::string>& Status();
    static std::vector<std::string>& Output();
    // What a captured Yes/No box answers (Yes unless set).
    static bool& AnswerYes();

protected:
    void SetUp() override;
    void TearDown() override;
    virtual uint32_t CacheBytes() const { return 2048000u; }

    CInterpreterManager* Manager();
    // Loads the image under a file name of kind 0.
    CInterpreterInstance* Load(const std::string& file, const std::string& image);
    // Loads (as a fresh program) and runs with the host words; the code.
    int Run(const Asm& a, const std::vector<InterpValue>& args, const std::vector<int32_t>& data = {});
    // Runs code that stores one word through its first argument; the word.
    int32_t Eval(const Asm& body, int* code = nullptr);

    qwtest::TempDir tmp_;
    InterpPaths paths_;
    std::string editor_; // stands in for the editor's program file
    int serial_ = 0;
};

// The thread identifier IsAppThread compares with.
unsigned long CurrentThreadId();

} // namespace itest
