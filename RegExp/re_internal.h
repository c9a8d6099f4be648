#pragma once
// Shared between the compiler, the matchers and the template expansion;
// not part of the engine's public interface.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "RegExp/regexp.h"

namespace re {

// Token meanings of the dialect tables.
enum Tok : int {
    TK_END, TK_NONE, TK_LIT, TK_CTRL,
    TK_BOL, TK_EOL, TK_ANY, TK_NOT, TK_CLS_OPEN, TK_CLS_CLOSE, TK_CLS_NEG,
    TK_RANGE, TK_OR, TK_OPT, TK_STAR, TK_PLUS, TK_MINSTAR, TK_MINPLUS,
    TK_GOPEN, TK_GCLOSE, TK_TOPEN, TK_TCLOSE, TK_BOW, TK_EOW,
    TK_ELEM,      // value: node kind 24-33
    TK_CASE_ON, TK_CASE_OFF,
    TK_DEC, TK_OCT, TK_HEX,
    TK_CESC,      // value: the character code
    TK_NEWLINE,
    TK_SEL,       // value: 0-9
    TK_ESC,       // the lone escape character
    TK_MACRO,
    // Templates.
    TK_T_UPPER, TK_T_UPPER1, TK_T_LOWER, TK_T_LOWER1, TK_T_CASE_END,
    TK_T_GROUP,   // value: 0-9
    TK_T_DATE, TK_T_TIME, TK_T_TIME24, TK_T_INITIALS, TK_T_USER, TK_T_COMPANY,
};

// Row context flags.
enum : unsigned {
    RF_OUT = 0x1,    // outside a character class
    RF_IN = 0x2,     // inside a class
    RF_ASKED = 0x4,  // inside a class an operator only where asked for
    RF_MACRO = 0x8,  // the meaning is a replacement text
};

struct ReRow {
    const char* text; // null ends the table
    int meaning;
    int value;
    unsigned flags;
    const char* macro;
};

struct Token {
    int type;
    int value;
};

const ReRow* DialectTable(int dialect);
const ReRow* NativeTable();

// Reads tokens from a pattern (and from a pending macro text first).
struct Lexer {
    const char* pos = nullptr;
    const char* macro = nullptr;
    const ReRow* table = nullptr;
    // Any token (want 0) or only the operator `want` (TK_NONE when absent).
    Token Next(unsigned context, int want);
    // The next raw character: TK_LIT, TK_CTRL or TK_END.
    Token Raw();
    bool AtEnd();
};

inline bool IsCtrl(unsigned c) { return (c >= 1 && c <= 31) || c == 127; }
inline unsigned Upper(unsigned c) { return (c >= 'a' && c <= 'z') ? c - 32 : c; }
inline unsigned Lower(unsigned c) { return (c >= 'A' && c <= 'Z') ? c + 32 : c; }
inline bool IsWordChar(unsigned c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
           c == '_';
}

// Reads the digits of \N (3 decimal), \o (3 octal) or \x (2 hex) after
// their row; returns the code (mod 256) or -error.
int ReadNumericEscape(Lexer& lx, int type);

// ---- The flat program the matchers run ----------------------------------------
struct Op {
    uint16_t kind;
    uint8_t ch;    // RE_K_CHAR: the character
    uint8_t chu;   // and its upper-case form
    int32_t link;  // index of the linked node, -1 none
    int32_t memo;  // choice points: index among them
    int32_t tab;   // character elements: offset of two 256-byte tables
                   // (case-sensitive, then case-insensitive), -1 none
};

struct Flat {
    std::vector<Op> ops;
    std::vector<uint8_t> tables;
    int memo_points = 0;
    bool has_case = false;  // holds case switches
    bool has_not = false;   // holds `~`
    bool anchored = false;  // first real node is `^`
    // Characters a match can begin with, per initial case mode (0
    // insensitive, 1 sensitive); valid only where first_ok.
    bool first_ok[2] = {false, false};
    uint8_t first[2][256];
    int first_count[2] = {0, 0};
    uint8_t first_chars[2][2];
    // For three or more first characters: up to kScanChars bytes that the
    // scanner compares sixteen text bytes at a time against, each text byte
    // first or-ed with 0x20 where scan_fold (so 'A' and 'a' are one entry);
    // scan_count 0 where the set is larger. A byte found this way is only a
    // candidate: `first` decides.
    static constexpr int kScanChars = 8;
    int scan_count[2] = {0, 0};
    bool scan_fold[2] = {false, false};
    uint8_t scan_chars[2][kScanChars];
    // Pairs of a first and a second character a match of two or more
    // characters can begin with (256 x 256 bits), valid only where pair_ok.
    bool pair_ok[2] = {false, false};
    std::vector<uint64_t> pairs[2];
    bool PairPossible(int mode, unsigned c1, unsigned c2) const {
        return (pairs[mode][c1 * 4 + (c2 >> 6)] >> (c2 & 63)) & 1;
    }
    // Literal texts one of which every match begins with (an alternation
    // of words, a literal prefix), per initial case mode; valid only where
    // lits_ok. Checking them at a candidate position is far cheaper than a
    // try of the walker, which would fail there anyway.
    // A text as the matcher compares it: bit j of `fold` says character j
    // compares without case, and such a character is kept in upper case.
    template <int N, class Fold>
    struct Spelled {
        uint8_t length = 0;
        Fold fold = 0;
        uint8_t ch[N];
    };
    static constexpr int kMaxLiterals = 16;
    static constexpr int kMaxLiteralLength = 16;
    using Literal = Spelled<kMaxLiteralLength, uint16_t>;
    bool lits_ok[2] = {false, false};
    std::vector<Literal> lits[2];
    // 1 when one of the literals stands at `s` and ends before `end`.
    bool LiteralAt(int mode, const char* buf, int s, int end) const;
    // Every filter above at `s` (s < end): a match may begin there.
    bool MayBeginAt(int mode, const char* buf, int s, int end) const;
    // A program that is nothing but an alternation of words (no group that
    // records, no condition, no repetition, no `~`), per initial case mode:
    // the words in the order the walker tries them. Where words_ok, the
    // match at a position is the first of them that stands there, so no
    // try is needed to find it.
    static constexpr int kMaxWords = 16;
    static constexpr int kMaxWordLength = 64;
    using Word = Spelled<kMaxWordLength, uint64_t>;
    bool words_ok[2] = {false, false};
    std::vector<Word> words[2];
    // The length of the first word that stands at `s` and ends by `end`;
    // 0 when none does.
    int WordAt(int mode, const char* buf, int s, int end) const;
};

Flat* BuildFlat(const RE_NODE* first);
void FreeFlat(void* flat);

// One text the walker runs over: the flat text of one or more lines. In
// line mode a line end is a position of its own (the flat buffer holds a
// separator there) and `\n` crosses it; `more` loads the next line.
struct Text {
    const char* buf = nullptr;
    std::vector<int> starts;
    std::vector<int> ends;
    bool lines = false;
    bool (*more)(void* ctx, Text* text) = nullptr;
    void* ctx = nullptr;
};

// Failure memo: one bit per (choice point, position, case mode, not flag).
// A state seen before either failed or is on the current path (an
// iteration that consumed nothing), so a second visit fails at once; this
// keeps every search linear in the text.
struct Memo {
    std::vector<uint64_t> bits;
    int base = 0;
    int cap = 0;      // positions covered
    int per_pos = 1;  // bits per position
    int touched = -1; // highest offset marked since the last reset
    // Changes with every Reset (the text under the memo may have changed),
    // not when the window only slides over the same text.
    uint32_t epoch = 0;
    void Reset(int new_base);
    // Forgets everything and covers positions from new_base on.
    void Slide(int new_base);
    // Keeps the memo across tries while the window slides forward.
    void BeginTry(int start);
    // 1 when already visited, 0 when newly marked, -1 when out of bounds.
    int Visit(int pos, int index);
    // Tests and sets one bit without growing (false / nothing outside).
    bool Has(int pos, int index) const;
    void Set(int pos, int index);
};

struct Result {
    int end = 0;
    int end_line = 0;
    int cap[20];
    int sel = -1;
};

// Where a try stands: the node, the text position, the line of the text,
// the case mode and whether a `~` applies to what comes next. A choice
// keeps the line, mode and `~` flag packed in one word of its frame.
struct WalkState {
    int node = 0;
    int pos = 0;
    int line = 0;
    int mode = 0;
    int notf = 0;
    int cap[20];
    int sel = -1;
    static constexpr int32_t kLineMask = 0x1FFFFFFF;
    int32_t Packed() const { return line | (mode << 30) | (notf << 29); }
    void Unpack(int32_t aux) {
        line = aux & kLineMask;
        mode = (aux >> 30) & 1;
        notf = (aux >> 29) & 1;
    }
};

// Where the program is words (Flat::words_ok): the match at `s` in one
// line of text that ends at `end`, as a try would give it; false when no
// word stands there.
bool WordMatch(const Flat& f, int mode, const char* buf, int s, int end, Result& out);

// Runs one try from `start` (in line `line` of the text). 1 match, 0 none,
// -1 too complex for the matcher's memory bounds.
struct Walker {
    Walker(const Flat* f, Text* t) : flat(f), text(t) {}
    const Flat* flat;
    Text* text;
    Memo memo;
    struct Frame {
        int32_t op;
        int32_t pos;
        int32_t aux; // a choice: WalkState::Packed()
    };
    std::vector<Frame> stack;
    int depth = 0;
    // The walker of the `~(...)` checks one level down, kept from one check
    // to the next so that what one learned serves the others; `synced` is
    // the epoch of this walker's memo that its memo was last matched to.
    std::unique_ptr<Walker> sub;
    uint32_t synced = 0;
    bool stale = true; // its memo holds nothing to trust
    bool looped = false; // this check refused a state on its own path
    int Try(int start, int line, int mode, Result& out);
    // The same from node `node` (a nested `~` check).
    int TryFrom(int node, int start, int line, int mode, Result& out);
    // 1 when the group opening at `node` with the rest of the program can
    // match at `pos`, 0 when not, -1 too complex.
    int GroupMatches(int node, int pos, int line, int mode);

private:
    // What a step of a try leads to.
    enum class Step { kNext, kFail, kSuccess, kTooComplex };
    bool Push(int op, int pos, int aux);
    Step Element(const Op& op, WalkState& st) const;
    Step Choice(const Op& op, WalkState& st);
    Step Bracket(const Op& op, WalkState& st);
    Step Control(const Op& op, WalkState& st);
    // Goes back to the last choice left open; false when none is.
    bool Backtrack(WalkState& st);
    void Succeed(const WalkState& st, Result& out);
};

// Lends a text and its walker (and a line window) the storage the last
// search on this thread left, emptied, and keeps theirs for the next one
// when it ends: searches made one after another allocate nothing each.
struct LentStorage {
    Text& t;
    Walker& w;
    std::vector<char>* win;
    LentStorage(Text& text, Walker& walker, std::vector<char>* window = nullptr);
    ~LentStorage();
    LentStorage(const LentStorage&) = delete;
    LentStorage& operator=(const LentStorage&) = delete;
};

// Sizes the walker's memo for its program.
void InitMemo(Walker& w);

// Finds the next position where a match can begin: memchr for one or two
// first characters, else a table of them (or of the pairs of first two
// characters, where first characters are frequent), each candidate then
// checked against the pairs and the literals.
struct Scanner {
    const Flat* flat = nullptr;
    int mode = 0;
    const char* buf = nullptr;
    int end = 0;
    const uint8_t* set = nullptr;
    const uint64_t* pairs = nullptr; // null unless the pair scan applies
    int count = 0;
    uint8_t c0 = 0, c1 = 0;
    int next0 = -1, next1 = -1;
    // Candidates rejected by the pair check within kDenseGap of the one
    // before, in a row; from kDenseMisses on the pair scan takes over.
    static constexpr int kDenseGap = 32;
    static constexpr int kDenseMisses = 4;
    int dense = 0;
    const uint8_t* vchars = nullptr;
    int vcount = 0;
    bool vfold = false;
    // One literal begins every match: the offset of its last character
    // (0 when not), and its two ends as compared (see LiteralEnds).
    int lit_last = 0;
    uint8_t lit_c0 = 0, lit_c1 = 0, lit_fold0 = 0, lit_fold1 = 0;
    void Init(const Flat& f, int mode, const char* text, int length);
    // The first position from s on (end when none).
    int Find(int s);

private:
    int FirstChar(int s);
    // The first position from s on whose byte is in `set` (end when none).
    int NextInSet(int s);
    // The first position from s on where the one literal's first and last
    // characters stand (end when none).
    int LiteralEnds(int s);
};

} // namespace re
