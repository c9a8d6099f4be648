// The macro-program compiler. One pass over the tokens builds a small tree
// per expression and emits code for each function as it is read; calls of
// functions defined later are patched at the end.
#include "tools/qw_comp4/qwc.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <vector>

namespace {

// ---- The table of editor functions -----------------------------------------
struct NativeRow {
    const char* name;
    int argc;
    const char* desc;
    bool method;
};
#define QW_NATIVE(name, argc, desc) {#name, argc, desc, false},
const NativeRow kNatives[] = {
#include "commands/interp_natives.inc"
};
#undef QW_NATIVE
#define QW_METHOD(cls, name, argc, desc) {#name, argc, desc, true},
const NativeRow kMethods[] = {
#include "commands/interp_natives.inc"
};
#undef QW_METHOD

// ---- Opcodes (the machine's encoding) --------------------------------------
enum Op : uint8_t {
    OP_INC_PUSH = 1, OP_DEC_PUSH, OP_PUSH_INC, OP_PUSH_DEC, OP_ADD3, OP_SUB3,
    OP_STORE, OP_ADDR, OP_LOAD,
    OP_PUSH = 12, OP_SHL2, OP_SHR2, OP_ADJSP,
    OP_JMP = 17, OP_JNZ,
    OP_JZPOP = 20, OP_CALLNATIVE, OP_CALLMETHOD, OP_CALL,
    OP_RET = 25, OP_LOADB, OP_LOADW, OP_STOREB, OP_STOREW,
    OP_LNOT = 38, OP_COMPL, OP_NEG, OP_MUL, OP_DIV, OP_MOD, OP_ADD, OP_SUB,
    OP_SHL, OP_SHR, OP_LT, OP_GE, OP_GT, OP_LE, OP_EQ, OP_NE,
    OP_AND, OP_XOR, OP_OR, OP_NOP,
};
constexpr uint8_t FRAME = 0x40, RESET_SP = 0x80;
constexpr size_t kCodeMax = 65535, kDataWordsMax = 4077 / 4;

struct CompileError {
    std::string text;
};

// ---- Tokens ----------------------------------------------------------------
enum TokKind { T_END, T_ID, T_NUM, T_STR, T_PUNCT };
struct Token {
    TokKind kind;
    std::string text;
    int32_t value = 0;
    int file = 0;
    int line = 0;
};

class Lexer {
public:
    std::vector<std::string> files;
    std::vector<Token> toks;
    std::vector<std::string> include_dirs;

    void lex_file(const std::string& path, int from_file, int from_line, int depth) {
        std::ifstream in(path, std::ios::binary);
        if (!in) {
            if (from_file < 0)
                throw CompileError{path + "(0): error: cannot open the source file"};
            throw CompileError{files[size_t(from_file)] + "(" + std::to_string(from_line) +
                               "): error: cannot open include file \"" + path + "\""};
        }
        if (depth > 16)
            throw CompileError{path + "(0): error: includes nested too deeply"};
        std::stringstream ss;
        ss << in.rdbuf();
        files.push_back(path);
        lex(ss.str(), int(files.size() - 1), depth);
    }

private:
    [[noreturn]] void fail(int file, int line, const std::string& m) {
        throw CompileError{files[size_t(file)] + "(" + std::to_string(line) + "): error: " + m};
    }

    std::string find_include(const std::string& name, int file) {
        std::string dir = files[size_t(file)];
        size_t s = dir.find_last_of("\\/");
        dir = s == std::string::npos ? std::string() : dir.substr(0, s + 1);
        std::vector<std::string> tries{dir + name};
        for (const std::string& d : include_dirs)
            if (!d.empty())
                tries.push_back(d + ((d.back() == '/' || d.back() == '\\') ? "" : "/") + name);
        for (const std::string& t : tries)
            if (std::ifstream(t, std::ios::binary))
                return t;
        return name;
    }

    int escape(const std::string& s, size_t& i, int file, int line) {
        char c = s[i++];
        switch (c) {
        case 'n': return '\n';
        case 't': return '\t';
        case 'r': return '\r';
        case '0': return 0;
        case '\\': return '\\';
        case '\'': return '\'';
        case '"': return '"';
        case 'x': {
            int v = 0, n = 0;
            while (i < s.size() && std::isxdigit(static_cast<unsigned char>(s[i])) && n < 2) {
                char h = char(std::tolower(static_cast<unsigned char>(s[i++])));
                v = v * 16 + (h <= '9' ? h - '0' : h - 'a' + 10);
                ++n;
            }
            if (!n)
                fail(file, line, "\\x without hexadecimal digits");
            return v;
        }
        default: fail(file, line, std::string("unknown escape \\") + c);
        }
    }

    void lex(const std::string& s, int file, int depth) {
        int line = 1;
        size_t i = 0;
        bool line_start = true;
        while (i < s.size()) {
            char c = s[i];
            if (c == '\n') {
                ++line;
                ++i;
                line_start = true;
                continue;
            }
            if (std::isspace(static_cast<unsigned char>(c))) {
                ++i;
                continue;
            }
            if (c == '/' && i + 1 < s.size() && s[i + 1] == '/') {
                while (i < s.size() && s[i] != '\n')
                    ++i;
                continue;
            }
            if (c == '/' && i + 1 < s.size() && s[i + 1] == '*') {
                size_t e = s.find("*/", i + 2);
                if (e == std::string::npos)
                    fail(file, line, "comment not closed");
                for (size_t k = i; k < e; ++k)
                    line += s[k] == '\n';
                i = e + 2;
                continue;
            }
            if (c == '#' && line_start) {
                size_t e = s.find('\n', i);
                std::string d = s.substr(i, e == std::string::npos ? std::string::npos : e - i);
                size_t q1 = d.find('"'), q2 = q1 == std::string::npos ? q1 : d.find('"', q1 + 1);
                if (d.compare(0, 8, "#include") != 0 || q2 == std::string::npos)
                    fail(file, line, "only #include \"file\" is understood");
                lex_file(find_include(d.substr(q1 + 1, q2 - q1 - 1), file), file, line, depth + 1);
                i = e == std::string::npos ? s.size() : e;
                continue;
            }
            line_start = false;
            Token t;
            t.file = file;
            t.line = line;
            if (std::isalpha(static_cast<unsigned char>(c)) || c == '_') {
                size_t b = i;
                while (i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_'))
                    ++i;
                t.kind = T_ID;
                t.text = s.substr(b, i - b);
            } else if (std::isdigit(static_cast<unsigned char>(c))) {
                size_t b = i;
                while (i < s.size() && std::isalnum(static_cast<unsigned char>(s[i])))
                    ++i;
                t.kind = T_NUM;
                t.text = s.substr(b, i - b);
                char* end = nullptr;
                unsigned long long v = std::strtoull(t.text.c_str(), &end, 0);
                if (*end || v > 0xFFFFFFFFull)
                    fail(file, line, "bad number " + t.text);
                t.value = int32_t(uint32_t(v));
            } else if (c == '"') {
                ++i;
                t.kind = T_STR;
                while (i < s.size() && s[i] != '"') {
                    if (s[i] == '\n')
                        fail(file, line, "string not closed");
                    if (s[i] == '\\') {
                        ++i;
                        t.text += char(escape(s, i, file, line));
                    } else {
                        t.text += s[i++];
                    }
                }
                if (i >= s.size())
                    fail(file, line, "string not closed");
                ++i;
            } else if (c == '\'') {
                ++i;
                t.kind = T_NUM;
                if (i >= s.size())
                    fail(file, line, "character not closed");
                int v = s[i] == '\\' ? (++i, escape(s, i, file, line)) : static_cast<unsigned char>(s[i++]);
                if (i >= s.size() || s[i] != '\'')
                    fail(file, line, "character not closed");
                ++i;
                t.value = v;
                t.text = "'";
            } else {
                static const char* multi[] = {"<<=", ">>=", "==", "!=", "<=", ">=", "&&", "||", "<<", ">>",
                                              "++", "--", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^="};
                t.kind = T_PUNCT;
                for (const char* m : multi)
                    if (s.compare(i, std::strlen(m), m) == 0) {
                        t.text = m;
                        break;
                    }
                if (t.text.empty()) {
                    if (!std::strchr("+-*/%<>=!~&|^(){}[];,?:", c))
                        fail(file, line, std::string("unexpected character '") + c + "'");
                    t.text = std::string(1, c);
                }
                i += t.text.size();
            }
            toks.push_back(t);
        }
    }
};

// ---- Types, symbols, trees -------------------------------------------------
struct Type {
    int base = 0; // 0 int, 1 char
    int ptr = 0;
};
inline bool word_elems(const Type& t) { return t.ptr > 1 || t.base == 0; }

enum SymKind { S_GLOBAL, S_LOCAL, S_CONST, S_FUNC, S_NATIVE, S_METHOD };
struct Func {
    int pos = -1;
    int nparams = 0;
    std::vector<std::pair<size_t, Token>> calls; // patch positions
};
struct Sym {
    SymKind kind;
    Type type;
    int array = 0;  // elements, 0 for a scalar
    int32_t off = 0; // word offset (data or frame), constant value, native index
    int argc = 0;
    Func* func = nullptr;
};

enum NodeKind { N_NUM, N_STR, N_VAR, N_UNARY, N_BIN, N_ASSIGN, N_CALL, N_INDEX, N_DEREF, N_ADDR,
                N_PRE, N_POST, N_ANDAND, N_OROR, N_COND };
struct Node {
    NodeKind kind;
    Token tok;
    std::string op;
    int32_t value = 0;
    const Sym* sym = nullptr;
    std::unique_ptr<Node> a, b, c;
    std::vector<std::unique_ptr<Node>> args;
};
using NodeP = std::unique_ptr<Node>;

struct Label {
    int pos = -1;
    std::vector<size_t> uses;
};

class Compiler {
public:
    Compiler(Lexer& lx) : lx_(lx) {}

    void program() {
        while (peek().kind != T_END)
            top_level();
        for (auto& f : funcs_) {
            for (auto& c : f.second->calls) {
                if (f.second->pos < 0)
                    fail(c.second, "function '" + f.first + "' is declared but never defined");
                patch32(c.first, uint32_t(f.second->pos));
            }
        }
        auto m = globals_.find("main");
        if (m == globals_.end() || m->second.kind != S_FUNC || m->second.func->pos < 0)
            throw CompileError{lx_.files[0] + "(0): error: no function main"};
        // Position 0 calls main with the host's words; its return comes back
        // to position 6, which ends the run by jumping to 0.
        patch32(1, uint32_t(m->second.func->pos));
        if (code_.size() > kCodeMax)
            throw CompileError{lx_.files[0] + "(0): error: the code exceeds 65535 bytes"};
        if (data_.size() > kDataWordsMax * 4)
            throw CompileError{lx_.files[0] + "(0): error: the data exceeds " + std::to_string(kDataWordsMax) +
                               " words"};
    }

    void start() {
        emit6(OP_CALL, 0, 0);
        emit5(OP_JMP, 0);
    }

    std::vector<uint8_t> code_;
    std::vector<uint8_t> data_;
    std::vector<std::string> map_;

private:
    // ---- token helpers
    const Token& peek(size_t k = 0) {
        static Token end{T_END, "", 0, 0, 0};
        if (pos_ + k < lx_.toks.size())
            return lx_.toks[pos_ + k];
        end.file = lx_.toks.empty() ? 0 : lx_.toks.back().file;
        end.line = lx_.toks.empty() ? 0 : lx_.toks.back().line;
        return end;
    }
    Token next() {
        Token t = peek();
        if (t.kind != T_END)
            ++pos_;
        return t;
    }
    bool is(const char* p, size_t k = 0) {
        const Token& t = peek(k);
        return (t.kind == T_PUNCT || t.kind == T_ID) && t.text == p;
    }
    bool accept(const char* p) {
        if (is(p)) {
            ++pos_;
            return true;
        }
        return false;
    }
    void expect(const char* p) {
        if (!accept(p))
            fail(peek(), std::string("expected '") + p + "'" + describe(peek()));
    }
    std::string describe(const Token& t) {
        return t.kind == T_END ? " at the end of the file" : " before '" + t.text + "'";
    }
    [[noreturn]] void fail(const Token& t, const std::string& m) {
        throw CompileError{lx_.files[size_t(t.file)] + "(" + std::to_string(t.line) + "): error: " + m};
    }
    Token ident() {
        if (peek().kind != T_ID)
            fail(peek(), "expected a name" + describe(peek()));
        return next();
    }
    int32_t const_expr() {
        bool neg = accept("-");
        const Token& t = peek();
        int32_t v;
        if (t.kind == T_NUM) {
            v = next().value;
        } else if (t.kind == T_ID && find(t.text) && find(t.text)->kind == S_CONST) {
            v = find(next().text)->off;
        } else {
            fail(t, "expected a constant" + describe(t));
        }
        return neg ? int32_t(0u - uint32_t(v)) : v;
    }

    // ---- emitting
    void op_byte(uint8_t op) {
        if (stmt_start_) {
            op |= RESET_SP;
            stmt_start_ = false;
        }
        code_.push_back(op);
    }
    void put32(int32_t v) {
        for (int i = 0; i < 4; ++i)
            code_.push_back(uint8_t(uint32_t(v) >> (8 * i)));
    }
    void emit1(uint8_t op) { op_byte(op); }
    void emit5(uint8_t op, int32_t k) {
        op_byte(op);
        put32(k);
    }
    void emit6(uint8_t op, int32_t k, int n) {
        op_byte(op);
        put32(k);
        code_.push_back(uint8_t(n));
    }
    void patch32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i)
            code_[at + size_t(i)] = uint8_t(v >> (8 * i));
    }
    void jump(uint8_t op, Label& l, int n = -1) {
        if (n >= 0)
            emit6(op, 0, n);
        else
            emit5(op, 0);
        l.uses.push_back(code_.size() - (n >= 0 ? 5 : 4));
    }
    void place(Label& l) {
        l.pos = int(code_.size());
        for (size_t u : l.uses)
            patch32(u, uint32_t(l.pos));
        l.uses.clear();
    }
    void jump_to(uint8_t op, Label& l, int n = -1) {
        if (l.pos >= 0) {
            if (n >= 0)
                emit6(op, l.pos, n);
            else
                emit5(op, l.pos);
        } else {
            jump(op, l, n);
        }
    }
    void drop() { // pops the top word
        emit6(OP_JZPOP, int32_t(code_.size() + 6), 1);
    }

    // ---- symbols
    const Sym* find(const std::string& name) {
        for (auto it = scopes_.rbegin(); it != scopes_.rend(); ++it) {
            auto f = it->find(name);
            if (f != it->end())
                return &f->second;
        }
        auto g = globals_.find(name);
        return g == globals_.end() ? nullptr : &g->second;
    }
    void declare_global(const Token& t, const Sym& s) {
        if (globals_.count(t.text))
            fail(t, "'" + t.text + "' is declared twice");
        globals_[t.text] = s;
    }
    int32_t alloc_temp() { return ++locals_; }

    // ---- declarations
    Type base_type() {
        Type t;
        Token k = next();
        t.base = k.text == "char" ? 1 : 0;
        return t;
    }
    bool at_type() { return is("int") || is("char") || is("void"); }

    void top_level() {
        if (is("native") || is("method")) {
            bool method = next().text == "method";
            Token name = ident();
            expect("=");
            int32_t index = const_expr();
            expect("(");
            int32_t argc = const_expr();
            expect(")");
            expect(";");
            const NativeRow* rows = method ? kMethods : kNatives;
            size_t n = method ? sizeof kMethods / sizeof kMethods[0] : sizeof kNatives / sizeof kNatives[0];
            if (index < 0 || size_t(index) >= n || name.text != rows[index].name || argc != rows[index].argc)
                fail(name, "'" + name.text + "' does not match the editor's table of functions");
            Sym s{method ? S_METHOD : S_NATIVE, Type(), 0, index, argc, nullptr};
            declare_global(name, s);
            return;
        }
        if (accept("const")) {
            Token name = ident();
            expect("=");
            Sym s{S_CONST, Type(), 0, const_expr(), 0, nullptr};
            expect(";");
            declare_global(name, s);
            return;
        }
        if (!at_type())
            fail(peek(), "expected a declaration" + describe(peek()));
        bool is_void = is("void");
        Type bt = base_type();
        for (;;) {
            Type t = bt;
            while (accept("*"))
                ++t.ptr;
            Token name = ident();
            if (is("(")) {
                function(name, is_void);
                return;
            }
            if (is_void && t.ptr == 0)
                fail(name, "a variable cannot be void");
            global_var(name, t);
            if (accept(";"))
                return;
            if (!accept(","))
                fail(peek(), "expected ';'" + describe(peek()));
        }
    }

    void align_data() {
        while (data_.size() % 4)
            data_.push_back(0);
    }
    void put_data_word(int32_t v) {
        for (int i = 0; i < 4; ++i)
            data_.push_back(uint8_t(uint32_t(v) >> (8 * i)));
    }
    int32_t add_string(const std::string& s) {
        align_data();
        int32_t word = int32_t(data_.size() / 4);
        data_.insert(data_.end(), s.begin(), s.end());
        data_.push_back(0);
        align_data();
        return word;
    }

    void global_var(const Token& name, const Type& t) {
        align_data();
        Sym s{S_GLOBAL, t, 0, int32_t(data_.size() / 4), 0, nullptr};
        bool elem_bytes = t.ptr == 0 && t.base == 1;
        if (accept("[")) {
            int32_t n = is("]") ? -1 : const_expr();
            expect("]");
            std::vector<int32_t> init;
            std::string str;
            bool has_str = false;
            if (accept("=")) {
                if (peek().kind == T_STR) {
                    if (!elem_bytes)
                        fail(peek(), "a text initialises only a char array");
                    str = next().text;
                    has_str = true;
                } else {
                    expect("{");
                    while (!is("}")) {
                        init.push_back(const_expr());
                        if (!accept(","))
                            break;
                    }
                    expect("}");
                }
            }
            if (n < 0)
                n = has_str ? int32_t(str.size() + 1) : int32_t(init.size());
            if (n <= 0)
                fail(name, "array '" + name.text + "' has no size");
            if (int32_t(has_str ? str.size() + 1 : init.size()) > n)
                fail(name, "too many initialisers for '" + name.text + "'");
            s.array = n;
            if (elem_bytes) {
                for (int32_t i = 0; i < n; ++i)
                    data_.push_back(has_str && size_t(i) < str.size() ? uint8_t(str[size_t(i)])
                                    : size_t(i) < init.size() ? uint8_t(init[size_t(i)]) : 0);
            } else {
                for (int32_t i = 0; i < n; ++i)
                    put_data_word(size_t(i) < init.size() ? init[size_t(i)] : 0);
            }
            align_data();
        } else {
            int32_t v = 0;
            if (accept("=")) {
                if (peek().kind == T_STR) {
                    // A pointer to a text: the text's address is fixed at load.
                    fail(peek(), "initialise text pointers in code; use a char array here");
                }
                v = const_expr();
            }
            put_data_word(v);
        }
        map_.push_back("global " + name.text + " word " + std::to_string(s.off));
        declare_global(name, s);
    }

    void function(const Token& name, bool) { // void or int: both return a word
        expect("(");
        std::vector<std::pair<Token, Type>> params;
        if (!accept(")")) {
            if (is("void") && is(")", 1)) {
                next();
                next();
            } else {
                for (;;) {
                    if (!at_type())
                        fail(peek(), "expected a parameter type" + describe(peek()));
                    Type t = base_type();
                    while (accept("*"))
                        ++t.ptr;
                    params.push_back({ident(), t});
                    if (accept(")"))
                        break;
                    expect(",");
                }
            }
        }
        Func* f;
        auto g = globals_.find(name.text);
        if (g != globals_.end()) {
            if (g->second.kind != S_FUNC || (g->second.func->pos >= 0 && !is(";")))
                fail(name, "'" + name.text + "' is declared twice");
            f = g->second.func;
            if (f->nparams != int(params.size()))
                fail(name, "'" + name.text + "' is declared with another number of parameters");
        } else {
            funcs_[name.text] = std::make_unique<Func>();
            f = funcs_[name.text].get();
            f->nparams = int(params.size());
            globals_[name.text] = Sym{S_FUNC, Type(), 0, 0, f->nparams, f};
        }
        if (accept(";"))
            return;
        f->pos = int(code_.size());
        map_.push_back("function " + name.text + " at " + std::to_string(f->pos));
        bool is_main = name.text == "main";
        scopes_.clear();
        scopes_.emplace_back();
        locals_ = 0;
        int np = int(params.size());
        stmt_start_ = true;
        emit5(OP_ADJSP, 0);
        size_t adjsp_at = code_.size() - 4;
        for (int i = 0; i < np; ++i) {
            Sym s{S_LOCAL, params[size_t(i)].second, 0, 0, 0, nullptr};
            if (is_main) {
                // The host decides how many words main receives: copy those
                // there are, the rest read as 0.
                s.off = ++locals_;
                stmt_start_ = true;
                emit5(OP_PUSH, 0);
                emit5(OP_STORE | FRAME, s.off);
                stmt_start_ = true;
                Label skip;
                emit5(OP_LOAD | FRAME, -2);
                emit5(OP_PUSH, i);
                emit1(OP_GT);
                jump(OP_JZPOP, skip, 1);
                emit5(OP_ADDR | FRAME, -4);
                emit5(OP_LOAD | FRAME, -2);
                emit5(OP_SHL2, 0);
                emit1(OP_SUB);
                emit5(OP_PUSH, i * 4);
                emit1(OP_ADD);
                emit1(OP_LOADW);
                emit5(OP_STORE | FRAME, s.off);
                place(skip);
            } else {
                s.off = -4 - np + i;
            }
            if (scopes_.back().count(params[size_t(i)].first.text))
                fail(params[size_t(i)].first, "parameter '" + params[size_t(i)].first.text + "' is named twice");
            scopes_.back()[params[size_t(i)].first.text] = s;
        }
        block();
        stmt_start_ = true;
        emit5(OP_PUSH, 0);
        emit1(OP_RET);
        patch32(adjsp_at, uint32_t(locals_));
        scopes_.clear();
    }

    // ---- statements
    void block() {
        expect("{");
        scopes_.emplace_back();
        while (!accept("}")) {
            if (peek().kind == T_END)
                fail(peek(), "expected '}' at the end of the file");
            statement();
        }
        scopes_.pop_back();
    }

    void local_decl() {
        Type bt = base_type();
        for (;;) {
            Type t = bt;
            while (accept("*"))
                ++t.ptr;
            Token name = ident();
            if (scopes_.back().count(name.text))
                fail(name, "'" + name.text + "' is declared twice");
            Sym s{S_LOCAL, t, 0, 0, 0, nullptr};
            if (accept("[")) {
                int32_t n = const_expr();
                expect("]");
                if (n <= 0)
                    fail(name, "array '" + name.text + "' has no size");
                s.array = n;
                int32_t words = (t.ptr == 0 && t.base == 1) ? (n + 3) / 4 : n;
                s.off = locals_ + 1;
                locals_ += words;
                scopes_.back()[name.text] = s;
            } else {
                s.off = ++locals_;
                scopes_.back()[name.text] = s;
                if (accept("=")) {
                    stmt_start_ = true;
                    NodeP e = expr();
                    gen(*e);
                    emit5(OP_STORE | FRAME, s.off);
                }
            }
            if (accept(";"))
                return;
            if (!accept(","))
                fail(peek(), "expected ';'" + describe(peek()));
        }
    }

    void statement() {
        const Token& t = peek();
        if (at_type()) {
            if (is("void"))
                fail(t, "a variable cannot be void");
            local_decl();
            return;
        }
        if (is("{")) {
            block();
            return;
        }
        if (accept(";"))
            return;
        if (accept("if")) {
            expect("(");
            stmt_start_ = true;
            NodeP c = expr();
            expect(")");
            gen(*c);
            Label other, end;
            jump(OP_JZPOP, other, 1);
            statement();
            if (accept("else")) {
                jump(OP_JMP, end);
                place(other);
                statement();
                place(end);
            } else {
                place(other);
            }
            return;
        }
        if (accept("while")) {
            Label top, end;
            expect("(");
            place(top);
            stmt_start_ = true;
            NodeP c = expr();
            expect(")");
            gen(*c);
            jump(OP_JZPOP, end, 1);
            loops_.push_back({&end, &top});
            statement();
            loops_.pop_back();
            jump_to(OP_JMP, top);
            place(end);
            return;
        }
        if (accept("for")) {
            expect("(");
            scopes_.emplace_back();
            if (at_type()) {
                local_decl();
            } else {
                if (!is(";")) {
                    stmt_start_ = true;
                    NodeP i = expr();
                    gen(*i);
                }
                expect(";");
            }
            Label top, next, end;
            place(top);
            if (!is(";")) {
                stmt_start_ = true;
                NodeP c = expr();
                gen(*c);
                jump(OP_JZPOP, end, 1);
            }
            expect(";");
            NodeP step;
            if (!is(")"))
                step = expr();
            expect(")");
            loops_.push_back({&end, &next});
            statement();
            loops_.pop_back();
            place(next);
            if (step) {
                stmt_start_ = true;
                gen(*step);
            }
            stmt_start_ = true;
            jump_to(OP_JMP, top);
            place(end);
            scopes_.pop_back();
            return;
        }
        if (is("break") || is("continue")) {
            Token k = next();
            if (loops_.empty())
                fail(k, "'" + k.text + "' outside a loop");
            expect(";");
            stmt_start_ = true;
            jump(OP_JMP, k.text == "break" ? *loops_.back().first : *loops_.back().second);
            return;
        }
        if (accept("return")) {
            stmt_start_ = true;
            if (is(";")) {
                emit5(OP_PUSH, 0);
            } else {
                NodeP e = expr();
                gen(*e);
            }
            expect(";");
            emit1(OP_RET);
            return;
        }
        stmt_start_ = true;
        NodeP e = expr();
        expect(";");
        gen(*e);
    }

    // ---- expressions
    NodeP make(NodeKind k, const Token& t) {
        auto n = std::make_unique<Node>();
        n->kind = k;
        n->tok = t;
        return n;
    }

    NodeP expr() { return assign(); }

    NodeP assign() {
        NodeP l = cond();
        static const char* ops[] = {"=", "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", "<<=", ">>="};
        for (const char* o : ops)
            if (is(o)) {
                Token t = next();
                NodeP n = make(N_ASSIGN, t);
                n->op = o;
                n->a = std::move(l);
                n->b = assign();
                return n;
            }
        return l;
    }

    NodeP cond() {
        NodeP c = oror();
        if (is("?")) {
            Token t = next();
            NodeP n = make(N_COND, t);
            n->a = std::move(c);
            n->b = expr();
            expect(":");
            n->c = cond();
            return n;
        }
        return c;
    }

    NodeP oror() {
        NodeP l = andand();
        while (is("||")) {
            Token t = next();
            NodeP n = make(N_OROR, t);
            n->a = std::move(l);
            n->b = andand();
            l = std::move(n);
        }
        return l;
    }

    NodeP andand() {
        NodeP l = binary(0);
        while (is("&&")) {
            Token t = next();
            NodeP n = make(N_ANDAND, t);
            n->a = std::move(l);
            n->b = binary(0);
            l = std::move(n);
        }
        return l;
    }

    NodeP binary(int level) {
        static const std::vector<std::vector<const char*>> levels = {
            {"|"}, {"^"}, {"&"}, {"==", "!="}, {"<", "<=", ">", ">="}, {"<<", ">>"}, {"+", "-"}, {"*", "/", "%"}};
        if (level == int(levels.size()))
            return unary();
        NodeP l = binary(level + 1);
        for (;;) {
            const char* found = nullptr;
            for (const char* o : levels[size_t(level)])
                if (is(o) && peek().kind == T_PUNCT)
                    found = o;
            if (!found)
                return l;
            Token t = next();
            NodeP n = make(N_BIN, t);
            n->op = found;
            n->a = std::move(l);
            n->b = binary(level + 1);
            l = std::move(n);
        }
    }

    NodeP unary() {
        const Token& t = peek();
        if (t.kind == T_PUNCT) {
            if (t.text == "-" || t.text == "!" || t.text == "~" || t.text == "+") {
                Token k = next();
                NodeP n = make(N_UNARY, k);
                n->op = k.text;
                n->a = unary();
                return n;
            }
            if (t.text == "*") {
                Token k = next();
                NodeP n = make(N_DEREF, k);
                n->a = unary();
                return n;
            }
            if (t.text == "&") {
                Token k = next();
                NodeP n = make(N_ADDR, k);
                n->a = unary();
                return n;
            }
            if (t.text == "++" || t.text == "--") {
                Token k = next();
                NodeP n = make(N_PRE, k);
                n->op = k.text;
                n->a = unary();
                return n;
            }
        }
        return postfix();
    }

    NodeP postfix() {
        NodeP n = primary();
        for (;;) {
            if (is("[")) {
                Token t = next();
                NodeP i = make(N_INDEX, t);
                i->a = std::move(n);
                i->b = expr();
                expect("]");
                n = std::move(i);
            } else if (is("++") || is("--")) {
                Token t = next();
                NodeP p = make(N_POST, t);
                p->op = t.text;
                p->a = std::move(n);
                n = std::move(p);
            } else {
                return n;
            }
        }
    }

    NodeP primary() {
        Token t = next();
        if (t.kind == T_NUM) {
            NodeP n = make(N_NUM, t);
            n->value = t.value;
            return n;
        }
        if (t.kind == T_STR) {
            std::string s = t.text;
            while (peek().kind == T_STR)
                s += next().text;
            NodeP n = make(N_STR, t);
            n->value = add_string(s);
            return n;
        }
        if (t.kind == T_PUNCT && t.text == "(") {
            NodeP e = expr();
            expect(")");
            return e;
        }
        if (t.kind == T_ID) {
            const Sym* s = find(t.text);
            if (!s)
                fail(t, "'" + t.text + "' is not declared");
            if (s->kind == S_CONST) {
                NodeP n = make(N_NUM, t);
                n->value = s->off;
                return n;
            }
            if (s->kind == S_FUNC || s->kind == S_NATIVE || s->kind == S_METHOD) {
                NodeP n = make(N_CALL, t);
                n->sym = s;
                expect("(");
                if (!accept(")")) {
                    for (;;) {
                        n->args.push_back(expr());
                        if (accept(")"))
                            break;
                        expect(",");
                    }
                }
                return n;
            }
            NodeP n = make(N_VAR, t);
            n->sym = s;
            return n;
        }
        fail(t, "expected an expression" + describe(t));
    }

    // ---- code for expressions
    Type type_of(const Node& n) {
        switch (n.kind) {
        case N_STR: return Type{1, 1};
        case N_VAR: {
            Type t = n.sym->type;
            if (n.sym->array)
                ++t.ptr;
            return t;
        }
        case N_DEREF:
        case N_INDEX: {
            Type t = n.kind == N_DEREF ? type_of(*n.a) : index_base(n);
            if (t.ptr > 0)
                --t.ptr;
            return t;
        }
        case N_ADDR: {
            Type t = type_of(*n.a);
            ++t.ptr;
            return t;
        }
        case N_BIN: {
            Type a = type_of(*n.a), b = type_of(*n.b);
            if (n.op == "+" || n.op == "-") {
                if (a.ptr && b.ptr)
                    return Type();
                if (a.ptr)
                    return a;
                if (b.ptr && n.op == "+")
                    return b;
            }
            return Type();
        }
        case N_ASSIGN:
        case N_PRE:
        case N_POST: return type_of(*n.a);
        case N_COND: return type_of(*n.b);
        default: return Type();
        }
    }
    Type index_base(const Node& n) {
        Type a = type_of(*n.a);
        return a.ptr ? a : type_of(*n.b);
    }

    bool is_var(const Node& n) { return n.kind == N_VAR && !n.sym->array; }
    uint8_t space(const Sym& s) { return s.kind == S_LOCAL ? FRAME : 0; }

    // Pushes the address of an lvalue held in memory (not a plain variable);
    // the element's width through *bytes.
    void gen_address(const Node& n, bool* bytes) {
        if (n.kind == N_DEREF) {
            Type t = type_of(*n.a);
            if (!t.ptr)
                fail(n.tok, "'*' needs a pointer");
            gen(*n.a);
            *bytes = !word_elems(t);
            return;
        }
        if (n.kind == N_INDEX) {
            Type a = type_of(*n.a), b = type_of(*n.b);
            const Node& base = a.ptr ? *n.a : *n.b;
            const Node& index = a.ptr ? *n.b : *n.a;
            Type t = a.ptr ? a : b;
            if (!t.ptr)
                fail(n.tok, "'[]' needs an array or a pointer");
            gen(base);
            gen(index);
            if (word_elems(t))
                emit5(OP_SHL2, 0);
            emit1(OP_ADD);
            *bytes = !word_elems(t);
            return;
        }
        if (n.kind == N_VAR && n.sym->array)
            fail(n.tok, "an array cannot be assigned");
        fail(n.tok, "the left side cannot be assigned");
    }

    uint8_t arith(const std::string& op) {
        static const std::map<std::string, uint8_t> ops = {
            {"+", OP_ADD}, {"-", OP_SUB}, {"*", OP_MUL}, {"/", OP_DIV}, {"%", OP_MOD}, {"&", OP_AND},
            {"|", OP_OR}, {"^", OP_XOR}, {"<<", OP_SHL}, {">>", OP_SHR}, {"==", OP_EQ}, {"!=", OP_NE},
            {"<", OP_LT}, {"<=", OP_LE}, {">", OP_GT}, {">=", OP_GE}};
        return ops.at(op);
    }

    void gen(const Node& n) {
        switch (n.kind) {
        case N_NUM: emit5(OP_PUSH, n.value); return;
        case N_STR: emit5(OP_ADDR, n.value); return;
        case N_VAR:
            if (n.sym->kind != S_GLOBAL && n.sym->kind != S_LOCAL)
                fail(n.tok, "'" + n.tok.text + "' is not a variable");
            emit5((n.sym->array ? OP_ADDR : OP_LOAD) | space(*n.sym), n.sym->off);
            return;
        case N_UNARY:
            gen(*n.a);
            if (n.op == "-")
                emit1(OP_NEG);
            else if (n.op == "!")
                emit1(OP_LNOT);
            else if (n.op == "~")
                emit1(OP_COMPL);
            return;
        case N_ADDR:
            if (n.a->kind == N_VAR) {
                if (n.a->sym->kind != S_GLOBAL && n.a->sym->kind != S_LOCAL)
                    fail(n.tok, "'&' needs a variable");
                emit5(OP_ADDR | space(*n.a->sym), n.a->sym->off);
            } else {
                bool bytes;
                gen_address(*n.a, &bytes);
            }
            return;
        case N_DEREF:
        case N_INDEX: {
            bool bytes;
            gen_address(n, &bytes);
            emit1(bytes ? OP_LOADB : OP_LOADW);
            return;
        }
        case N_BIN: {
            Type a = type_of(*n.a), b = type_of(*n.b);
            gen(*n.a);
            gen(*n.b);
            if ((n.op == "+" || n.op == "-") && (a.ptr || b.ptr)) {
                if (a.ptr && b.ptr) {
                    if (n.op == "+")
                        fail(n.tok, "two pointers cannot be added");
                    emit1(OP_SUB);
                    if (word_elems(a)) {
                        emit5(OP_PUSH, 4);
                        emit1(OP_DIV);
                    }
                    return;
                }
                if (a.ptr && word_elems(a))
                    emit5(OP_SHL2, 0);
                if (b.ptr) {
                    if (n.op == "-")
                        fail(n.tok, "a pointer cannot be subtracted from a number");
                    if (word_elems(b))
                        emit5(OP_SHL2, -1);
                }
            }
            emit1(arith(n.op));
            return;
        }
        case N_ANDAND:
        case N_OROR: {
            Label f, t, end;
            gen(*n.a);
            if (n.kind == N_ANDAND) {
                jump(OP_JZPOP, f, 1);
                gen(*n.b);
                jump(OP_JZPOP, f, 1);
                emit5(OP_PUSH, 1);
                jump(OP_JMP, end);
                place(f);
                emit5(OP_PUSH, 0);
            } else {
                Label second;
                jump(OP_JZPOP, second, 1);
                emit5(OP_PUSH, 1);
                jump(OP_JMP, end);
                place(second);
                gen(*n.b);
                jump(OP_JZPOP, f, 1);
                emit5(OP_PUSH, 1);
                jump(OP_JMP, end);
                place(f);
                emit5(OP_PUSH, 0);
            }
            place(end);
            return;
        }
        case N_COND: {
            Label other, end;
            gen(*n.a);
            jump(OP_JZPOP, other, 1);
            gen(*n.b);
            jump(OP_JMP, end);
            place(other);
            gen(*n.c);
            place(end);
            return;
        }
        case N_ASSIGN: {
            std::string op = n.op.substr(0, n.op.size() - 1);
            Type lt = type_of(*n.a);
            bool scale = (op == "+" || op == "-") && lt.ptr && word_elems(lt);
            if (is_var(*n.a)) {
                const Sym& s = *n.a->sym;
                if (!op.empty())
                    emit5(OP_LOAD | space(s), s.off);
                gen(*n.b);
                if (!op.empty()) {
                    if (scale)
                        emit5(OP_SHL2, 0);
                    emit1(arith(op));
                }
                emit5(OP_STORE | space(s), s.off);
                return;
            }
            bool bytes;
            gen_address(*n.a, &bytes);
            if (!op.empty()) {
                int32_t t = alloc_temp();
                emit5(OP_STORE | FRAME, t);
                emit5(OP_LOAD | FRAME, t);
                emit1(bytes ? OP_LOADB : OP_LOADW);
            }
            gen(*n.b);
            if (!op.empty()) {
                if (scale)
                    emit5(OP_SHL2, 0);
                emit1(arith(op));
            }
            emit1(bytes ? OP_STOREB : OP_STOREW);
            return;
        }
        case N_PRE:
        case N_POST: {
            bool inc = n.op == "++";
            Type t = type_of(*n.a);
            int32_t step = t.ptr && word_elems(t) ? 4 : 1;
            if (is_var(*n.a)) {
                const Sym& s = *n.a->sym;
                uint8_t sp = space(s);
                if (n.kind == N_PRE) {
                    if (step == 4)
                        emit5((inc ? OP_ADD3 : OP_SUB3) | sp, s.off);
                    emit5((inc ? OP_INC_PUSH : OP_DEC_PUSH) | sp, s.off);
                } else {
                    emit5((inc ? OP_PUSH_INC : OP_PUSH_DEC) | sp, s.off);
                    if (step == 4)
                        emit5((inc ? OP_ADD3 : OP_SUB3) | sp, s.off);
                }
                return;
            }
            bool bytes;
            gen_address(*n.a, &bytes);
            int32_t tmp = alloc_temp();
            emit5(OP_STORE | FRAME, tmp);
            if (n.kind == N_POST)
                emit1(bytes ? OP_LOADB : OP_LOADW); // the old value stays below
            emit5(OP_LOAD | FRAME, tmp);
            emit5(OP_LOAD | FRAME, tmp);
            emit1(bytes ? OP_LOADB : OP_LOADW);
            emit5(OP_PUSH, step);
            emit1(inc ? OP_ADD : OP_SUB);
            emit1(bytes ? OP_STOREB : OP_STOREW);
            if (n.kind == N_POST)
                drop();
            else {
                // [address, new]: the address below the new value goes.
                int32_t keep = alloc_temp();
                emit5(OP_STORE | FRAME, keep);
                drop();
                drop();
                emit5(OP_LOAD | FRAME, keep);
            }
            return;
        }
        case N_CALL: {
            const Sym& s = *n.sym;
            int given = int(n.args.size());
            if (s.kind == S_METHOD) {
                if (given < 1)
                    fail(n.tok, "method '" + n.tok.text + "' needs its object as the first argument");
                if (s.argc >= 0 && given - 1 != s.argc)
                    fail(n.tok, "'" + n.tok.text + "' takes " + std::to_string(s.argc) + " arguments after its object, not " +
                                    std::to_string(given - 1));
            } else if (s.argc >= 0 && given != s.argc) {
                fail(n.tok, "'" + n.tok.text + "' takes " + std::to_string(s.argc) + " arguments, not " +
                                std::to_string(given));
            }
            if (given > 255)
                fail(n.tok, "too many arguments");
            for (auto& a : n.args)
                gen(*a);
            if (s.kind == S_FUNC) {
                emit6(OP_CALL, 0, given);
                s.func->calls.push_back({code_.size() - 5, n.tok});
            } else if (s.kind == S_NATIVE) {
                emit6(OP_CALLNATIVE, s.off, given);
            } else {
                emit6(OP_CALLMETHOD, s.off, given - 1);
            }
            return;
        }
        }
    }

    Lexer& lx_;
    size_t pos_ = 0;
    bool stmt_start_ = false;
    int32_t locals_ = 0;
    std::map<std::string, Sym> globals_;
    std::map<std::string, std::unique_ptr<Func>> funcs_;
    std::vector<std::map<std::string, Sym>> scopes_;
    std::vector<std::pair<Label*, Label*>> loops_;
};

bool write_file(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    out.write(bytes.data(), std::streamsize(bytes.size()));
    return bool(out);
}

} // namespace

std::string QwcNativesHeader() {
    std::string h = "// The editor's functions that macro programs call. Generated by qw_comp4 -h\n"
                    "// from the editor's own table: do not edit.\n\n";
    for (size_t i = 0; i < sizeof kNatives / sizeof kNatives[0]; ++i)
        h += "native " + std::string(kNatives[i].name) + " = " + std::to_string(i) + " (" +
             std::to_string(kNatives[i].argc) + ");  // " + kNatives[i].desc + "\n";
    h += "\n";
    for (size_t i = 0; i < sizeof kMethods / sizeof kMethods[0]; ++i)
        h += "method " + std::string(kMethods[i].name) + " = " + std::to_string(i) + " (" +
             std::to_string(kMethods[i].argc) + ");  // " + kMethods[i].desc + "\n";
    h += "\n// Run flags\nconst CEXE_KIND1 = 1;\nconst CEXE_QUIET = 4;\nconst CEXE_LOAD_ONLY = 16;\n"
         "const CEXE_UNLOAD = 32;\n";
    return h;
}

bool QwcCompile(const QwcOptions& opt, std::string& errors) {
    std::remove(opt.output.c_str());
    try {
        Lexer lx;
        std::string dirs = opt.include;
        size_t b = 0;
        while (b <= dirs.size()) {
            size_t e = dirs.find(';', b);
            lx.include_dirs.push_back(dirs.substr(b, e == std::string::npos ? std::string::npos : e - b));
            if (e == std::string::npos)
                break;
            b = e + 1;
        }
        lx.lex_file(opt.source, -1, 0, 0);
        Compiler c(lx);
        c.start();
        c.program();
        std::string out;
        auto put16 = [&](uint32_t v) {
            out += char(v & 0xFF);
            out += char((v >> 8) & 0xFF);
        };
        put16(0xF4E9);
        put16(uint32_t(c.code_.size()));
        put16(uint32_t(c.data_.size() / 4));
        put16(300);
        put16(0);
        out.append(c.code_.begin(), c.code_.end());
        out.append(c.data_.begin(), c.data_.end());
        if (!write_file(opt.output, out)) {
            errors += opt.output + "(0): error: cannot write the program file\n";
            std::remove(opt.output.c_str());
            return false;
        }
        if (!opt.map.empty()) {
            std::string m = "; " + opt.source + ": " + std::to_string(c.code_.size()) + " code bytes, " +
                            std::to_string(c.data_.size() / 4) + " data words\n";
            for (const std::string& l : c.map_)
                m += l + "\n";
            write_file(opt.map, m);
        }
        return true;
    } catch (const CompileError& e) {
        errors += e.text + "\n";
        return false;
    }
}

int QwcMain(int argc, char** argv) {
    QwcOptions opt;
    std::string header;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&](const char* what) -> std::string {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "qw_comp4: %s needs a value\n", what);
                std::exit(2);
            }
            return argv[++i];
        };
        if (a == "-s")
            opt.map = value("-s");
        else if (a == "-i")
            opt.include = value("-i");
        else if (a == "-o")
            opt.output = value("-o");
        else if (a == "-h")
            header = value("-h");
        else if (opt.source.empty())
            opt.source = a;
        else {
            std::fprintf(stderr, "qw_comp4: unexpected argument '%s'\n", a.c_str());
            return 2;
        }
    }
    if (!header.empty()) {
        if (!write_file(header, QwcNativesHeader())) {
            std::fprintf(stderr, "qw_comp4: cannot write %s\n", header.c_str());
            return 1;
        }
        return 0;
    }
    if (opt.source.empty() || opt.output.empty()) {
        std::fprintf(stderr, "usage: qw_comp4 [-s map] [-i folders] source.c -o program.ces\n"
                             "       qw_comp4 -h header\n");
        return 2;
    }
    std::string errors;
    bool ok = QwcCompile(opt, errors);
    std::fputs(errors.c_str(), stdout);
    if (ok)
        std::printf("%s: compiled into %s\n", opt.source.c_str(), opt.output.c_str());
    return ok ? 0 : 1;
}
