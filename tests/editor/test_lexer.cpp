// Tests the colouring lexer: per language family, lines and the tokens they
// split into (over real dictionaries compiled from sources written here),
// lines that start inside an open construct, fixed-column limits, the token
// query, agreement with the engine's lexical-state scan on random C files,
// and hostile input (any bytes, unclosed constructs, long lines, a full
// table of Ruby's run-time entries).
#include "editor/lexer.h"

#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "VmEngine/vmlex.h"
#include "editor/langdict.h"
#include "editor/langspec.h"
#include "tests/editor/doc_test_env.h"
#include "tests/support/temp_dir.h"

namespace {

const char* const kBaseNames[] = {
    "lang_ada", "lang_asm", "lang_bas",    "lang_bat", "lang_c",   "lang_ci",  "lang_cl5",
    "lang_cli", "lang_cob", "lang_dfx",    "lang_dba", "lang_eif", "lang_fth", "lang_for",
    "lang_fox", "lang_htm", "lang_jav",    "lang_lim", "lang_lsp", "lang_matlab", "lang_mod",
    "lang_non", "lang_par", "lang_pas",    "lang_prl", "lang_php", "lang_pl1", "lang_prs",
    "lang_pro", "lang_rex", "lang_ruby",   "lang_smt", "lang_sql", "lang_tex", "lang_vlg",
    "lang_hdl", "lang_win", "lang_qwk"};

// The master dictionary shipped for language `id`.
std::string MasterDictionary(int id) {
    std::string root = QW_TEST_DATA_DIR;  // <root>/tests/data
    root = root.substr(0, root.rfind("/tests/data"));
    return qwtest::ReadFileBytes(root + "/config/" + kBaseNames[id] + ".xxx");
}

// Dictionary sources: the specification, then the word groups.
const char kC[] =
    "[Language Specification]\nVersion=1\nCase Sensitive=1\n"
    "Comment=1\nStyle=2\nToken=301\nOpen=/*\nClose=*/\n"
    "Comment=2\nStyle=1\nToken=302\nOpen=//\n"
    "[Keywords]\nif\nreturn\nwhile\n[Types]\nint\nchar\n[Preprocessor]\ninclude\ndefine\n";
const char kPascal[] =
    "[Language Specification]\nVersion=1\n"
    "Comment=1\nStyle=6\nToken=301\nOpen=(*\nClose=*)\n"
    "Comment=2\nStyle=2\nToken=303\nOpen={\nClose=}\n"
    "Comment=3\nStyle=1\nToken=302\nOpen=//\n"
    "[Keywords]\nbegin\nend\n";
const char kFortran[] =
    "[Language Specification]\nVersion=1\n"
    "Comment=1\nStyle=513\nColumn Start=1\nToken=301\nOpen=c\n"
    "Comment=2\nStyle=1\nToken=302\nOpen=!\n"
    "Comment=3\nStyle=768\nColumn Start=72\nToken=303\n"
    "[Keywords]\ncall\n.and.\n";
const char kCobol[] =
    "[Language Specification]\nVersion=1\n"
    "Comment=1\nStyle=513\nColumn Start=7\nToken=301\nOpen=*\n"
    "Comment=2\nStyle=768\nColumn Start=72\nToken=303\n"
    "[Keywords]\ndivision\n[Preprocessor]\ncopy\n";
const char kMatlab[] =
    "[Language Specification]\nVersion=1\nCase Sensitive=1\n"
    "Comment=1\nStyle=1\nToken=302\nOpen=%\n[Keywords]\nend\n";
const char kAda[] =
    "[Language Specification]\nVersion=1\n"
    "Comment=1\nStyle=1\nToken=302\nOpen=--\n[Keywords]\nbegin\n";
const char kRuby[] =
    "[Language Specification]\nVersion=1\nCase Sensitive=1\n"
    "Comment=1\nStyle=1\nToken=302\nOpen=#\n"
    "Comment=2\nStyle=2\nToken=301\nColumn Start=1\nOpen==begin\nClose==end\n"
    "[Keywords]\nclass\nputs\n";
const char kPerl[] =
    "[Language Specification]\nVersion=1\nCase Sensitive=1\n"
    "Comment=1\nStyle=1\nToken=302\nOpen=#\n"
    "[Keywords]\nsplit\nmy\n[Types]\nq\nqq\nqw\nm\ns\ntr\ny\n";
const char kHtml[] =
    "[Language Specification]\nVersion=1\n"
    "Comment=1\nStyle=2\nToken=304\nOpen=<\nClose=>\n"
    "[Keywords]\nb\n/b\n[Preprocessor]\namp\n";
const char kIni[] =
    "[Language Specification]\nVersion=1\n"
    "Comment=1\nStyle=1\nToken=302\nOpen=;\n";
const char kForth[] =
    "[Language Specification]\nVersion=1\n"
    "Comment=1\nStyle=2\nToken=301\nOpen=(\nClose=)\n"
    "Comment=2\nStyle=1\nToken=302\nOpen=\\\n"
    "[Keywords]\ndup\n:\n;\n";
const char kPlain[] = "[Keywords]\nthe\n";
const char kBatch[] =
    "[Language Specification]\nVersion=1\n"
    "Comment=1\nStyle=1\nToken=302\nOpen=rem\n[Keywords]\necho\n";
const char kSimple[] = "[Language Specification]\nVersion=1\n";

class Lexer : public doctest::LangTest {
protected:
    // Writes the dictionary of language `id` and loads it; its index.
    int Load(int id, const char* source) {
        Write(config() + kBaseNames[id] + ".JS", source);
        int index = -1;
        EXPECT_EQ(FindOrLoadLanguageSpec(&index, id, nullptr, nullptr), 1);
        EXPECT_EQ(GetLanguageParserType(index), id);
        return index;
    }

    // The tokens of a line as "[text]code" items ("+" marks a token that
    // runs on), after checking that they cover the line exactly.
    std::string Lex(const std::string& line, const LexLineSetup& setup) {
        std::vector<LexToken> toks(line.size() + 1);
        int n = LexLine(lx_, setup, line.data(), int(line.size()), toks.data(), int(toks.size()));
        EXPECT_LE(n, int(line.size()));
        std::string out;
        int at = 0;
        for (int i = 0; i < n && i < int(toks.size()); ++i) {
            const LexToken& t = toks[size_t(i)];
            EXPECT_EQ(t.start, at) << line;
            EXPECT_GT(t.end, t.start) << line;
            at = t.end;
            if (!out.empty())
                out += ' ';
            out += "[" + line.substr(size_t(t.start), size_t(t.end - t.start)) + "]" +
                   std::to_string(t.code & ~LEX_TOK_RUNS_ON);
            if (t.code & LEX_TOK_RUNS_ON)
                out += '+';
        }
        EXPECT_EQ(at, int(line.size())) << line;
        return out;
    }
    std::string Lex(const std::string& line, int lang) {
        LexLineSetup s;
        s.lang = lang;
        return Lex(line, s);
    }

    struct Case {
        const char* line;
        const char* tokens;
    };
    void Check(int lang, std::initializer_list<Case> cases) {
        for (const Case& c : cases)
            EXPECT_EQ(Lex(c.line, lang), c.tokens) << c.line;
    }

    CLexer lx_;
};

TEST_F(Lexer, CFamily) {
    int c = Load(4, kC);
    Check(c, {
        {"x = 0x1F + 017;", "[x]320 [ ]309 [=]322 [ ]309 [0x1F]316 [ ]309 [+]322 [ ]309 [017]315 [;]322"},
        {"08 1.5e3 12abc 0 10ul", "[0]323 [8]313 [ ]309 [1.5e3]317 [ ]309 [12]323 [abc]320 [ ]309 [0]313 [ ]309 [10ul]313"},
        {"y = 2.0-1.0e-3;", "[y]320 [ ]309 [=]322 [ ]309 [2.0]317 [-]322 [1.0e-3]317 [;]322"},
        {"#include <stdio.h>", "[#include]308 [ ]309 [<stdio.h>]308"},
        {"# define X a ## b # c", "[# define]308 [ ]309 [X]320 [ ]309 [a]320 [ ]309 [##]308 [ ]309 [b]320 [ ]309 [#]324 [ ]309 [c]320"},
        {"#pragma x", "[#]322 [pragma]320 [ ]309 [x]320"},
        {"# /* c", "[#]322 [ ]309 [/* c]301+"},
        {"define: a::b", "[define]321 [:]322 [ ]309 [a]320 [:]322 [:]322 [b]320"},
        {"  again: ;", "[  ]309 [again]321 [:]322 [ ]309 [;]322"},
        {"std::x;", "[std]320 [:]322 [:]322 [x]320 [;]322"},
        {"if (s == \"a\\\"b\") return 'c'; // done",
         "[if]319 [ ]309 [(]322 [s]320 [ ]309 [=]322 [=]322 [ ]309 [\"a\\\"b\"]311 [)]322 [ ]309 [return]319 [ ]309 ['c']312 [;]322 [ ]309 [// done]302+"},
        {"int a; /* one */ char b; /* open", "[int]318 [ ]309 [a]320 [;]322 [ ]309 [/* one */]301 [ ]309 [char]318 [ ]309 [b]320 [;]322 [ ]309 [/* open]301+"},
        {"/*/ still open", "[/*/ still open]301+"},
        {"x = \"unclosed", "[x]320 [ ]309 [=]322 [ ]309 [\"unclosed]311"},
        {"a \\ ", "[a]320 [ ]309 [\\]322 [ ]309"},
        {"@$`\x7F", "[@]324 [$]324 [`]324 [\x7F]324"},
        {"    ", "[    ]309"},
        {"", ""},
    });
    // A block comment opened on an earlier line colours this one up to its end.
    LexLineSetup s;
    s.lang = c;
    s.depth = 1;
    s.entry = 0;
    EXPECT_EQ(Lex("still */ int x;", s), "[still */]301 [ ]309 [int]318 [ ]309 [x]320 [;]322");
    EXPECT_EQ(lx_.EndState(), LEX_TOK_NONE);
    EXPECT_EQ(Lex("no end here", s), "[no end here]301+");
    EXPECT_EQ(lx_.EndState(), LEX_END_CONSTRUCT);
    EXPECT_EQ(lx_.Entry(), 0);
    EXPECT_EQ(Lex("x; // c", c), "[x]320 [;]322 [ ]309 [// c]302+");
    EXPECT_EQ(lx_.EndState(), LEX_END_RUNS_ON);
    EXPECT_EQ(Lex("", c), "");
    EXPECT_EQ(lx_.EndState(), LEX_TOK_NONE);
    // Words that end before the first character to draw are not looked up.
    LexLineSetup scrolled;
    scrolled.lang = c;
    scrolled.first = 5;
    EXPECT_EQ(Lex("int x; int y;", scrolled), "[int]320 [ ]309 [x]320 [;]322 [ ]309 [int]318 [ ]309 [y]320 [;]322");
}

TEST_F(Lexer, KeywordsFollowDictionaryChanges) {
    int c = Load(4, kC);
    EXPECT_EQ(Lex("foo int", c), "[foo]320 [ ]309 [int]318");
    ResetLanguageData(0x1);
    std::remove((config() + "lang$c.JS").c_str());  // compiled within the same second
    std::string changed = kC;
    changed += "[Keywords]\nfoo\n";
    c = Load(4, changed.c_str());
    LexDictionariesChanged();
    EXPECT_EQ(Lex("foo int", c), "[foo]319 [ ]309 [int]318");
}

TEST_F(Lexer, PascalRangesAndNesting) {
    int p = Load(23, kPascal);
    Check(p, {
        {"a[1..5] := $FF + 1.5;", "[a]320 [[]322 [1..5]313 []]322 [ ]309 [:]322 [=]322 [ ]309 [$FF]316 [ ]309 [+]322 [ ]309 [1.5]317 [;]322"},
        {"x.y := 3.z", "[x]320 [.]322 [y]320 [ ]309 [:]322 [=]322 [ ]309 [3]313 [.]322 [z]320"},
        {"begin (* a (* b *) c *) end", "[begin]319 [ ]309 [(* a (* b *) c *)]301 [ ]309 [end]319"},
        {"{ x } (* open (* inner *)", "[{ x }]303 [ ]309 [(* open (* inner *)]301+"},
    });
    // Nesting carried in from the line before: depth 2 needs two ends.
    LexLineSetup s;
    s.lang = p;
    s.depth = 2;
    s.entry = 0;
    EXPECT_EQ(Lex("a *) b *) end", s), "[a *) b *)]301 [ ]309 [end]319");
    EXPECT_EQ(Lex("a *) b", s), "[a *) b]301+");
    EXPECT_EQ(lx_.Depth(), 1);
}

TEST_F(Lexer, FortranDotsAndFixedColumns) {
    int f = Load(13, kFortran);
    Check(f, {
        {"x = 1.AND.2", "[x]320 [ ]309 [=]322 [ ]309 [1]313 [.AND.]319 [2]313"},
        {"y = 1.E5 + .5 + 2.d0", "[y]320 [ ]309 [=]322 [ ]309 [1.E5]317 [ ]309 [+]322 [ ]309 [.5]317 [ ]309 [+]322 [ ]309 [2.d0]317"},
        {"call f ! note", "[call]319 [ ]309 [f]320 [ ]309 [! note]302+"},
    });
    LexLineSetup s;
    s.lang = f;
    s.fixed_columns = true;
    std::string longline = "      X = 1" + std::string(61, ' ') + "SEQ001";
    EXPECT_EQ(Lex(longline, s), "[      ]321 [X]320 [ ]309 [=]322 [ ]309 [1]313 [" +
                                    std::string(61, ' ') + "]309 [SEQ001]303+");
    EXPECT_EQ(lx_.EndState(), LEX_END_RUNS_ON);
    EXPECT_EQ(Lex("C     A COMMENT", s), "[C     A COMMENT]301+");
    EXPECT_EQ(Lex("100   CALL F", s), "[100   ]321 [CALL]319 [ ]309 [F]320");
    EXPECT_EQ(Lex("  1", s), "[  1]321");
    // Tabs count as the columns they fill: the limit falls inside the text.
    EXPECT_EQ(Lex("\t\t\t\t\t\t\t\t\t1234", s), "[\t]321 [\t\t\t\t\t\t\t\t]309 [1234]303+");
    // Without the fixed-column switch the limit is not there.
    EXPECT_EQ(Lex(longline, f), "[      ]309 [X]320 [ ]309 [=]322 [ ]309 [1]313 [" +
                                  std::string(61, ' ') + "]309 [SEQ001]320");
}

TEST_F(Lexer, CobolFixedColumns) {
    int c = Load(8, kCobol);
    LexLineSetup s;
    s.lang = c;
    s.fixed_columns = true;
    EXPECT_EQ(Lex("000100 DATA DIVISION.", s), "[000100]321 [ ]309 [DATA]320 [ ]309 [DIVISION]319 [.]324");
    EXPECT_EQ(Lex("000200*comment here", s), "[000200]321 [*comment here]301+");
    EXPECT_EQ(Lex("000300 COPY WS-REC.", s), "[000300]321 [ ]309 [COPY]308 [ ]309 [WS-REC]320 [.]324");
    EXPECT_EQ(Lex("0001*x", s), "[0001*x]321");
}

TEST_F(Lexer, MatlabAndAda) {
    int m = Load(19, kMatlab);
    Check(m, {
        {"A' + 3 % t", "[A]320 [']322 [ ]309 [+]322 [ ]309 [3]317 [ ]309 [% t]302+"},
        {"s = 'it''s'; x=[a' 'b']", "[s]320 [ ]309 [=]322 [ ]309 ['it''s']311 [;]322 [ ]309 [x]320 [=]322 [[]322 [a]320 [']322 [ ]309 ['b']311 []]322"},
        {"z = 2i + 1e-3 'open", "[z]320 [ ]309 [=]322 [ ]309 [2i]317 [ ]309 [+]322 [ ]309 [1e-3]317 [ ]309 ['open]324"},
    });
    int a = Load(0, kAda);
    Check(a, {
        {"X'First 'a' 16#FF# 2#1010# 1_000", "[X]320 ['First]320 [ ]309 ['a']312 [ ]309 [16#FF#]316 [ ]309 [2#1010#]314 [ ]309 [1_000]313"},
        {"2#1.1# 1__0 8#777#", "[2#1.1#]314 [ ]309 [1_]323 [_0]320 [ ]309 [8#777#]315"},
        {"for I in 1..5 loop -- c", "[for]320 [ ]309 [I]320 [ ]309 [in]320 [ ]309 [1..5]313 [ ]309 [loop]320 [ ]309 [-- c]302+"},
    });
}

TEST_F(Lexer, RubyQuoteLikesAndHereDocs) {
    int r = Load(30, kRuby);
    Check(r, {
        {"Foo = %q(a (b) c) + ?a", "[Foo]321 [ ]309 [=]322 [ ]309 [%q(a (b) c)]312 [ ]309 [+]322 [ ]309 [?a]313"},
        {"puts \"a\\\"b\", $stdout, @x, @@y, $-w, x ? 1 : 2",
         "[puts]319 [ ]309 [\"a\\\"b\"]311 [,]322 [ ]309 [$stdout]318 [,]322 [ ]309 [@x]318 [,]322 [ ]309 [@@y]318 [,]322 [ ]309 [$-w]318 [,]322 [ ]309 [x]320 [ ]309 [?]322 [ ]309 [1]313 [ ]309 [:]322 [ ]309 [2]313"},
        {"3.times { 65.chr } 1..2 0x1F 1_000 ?\\n", "[3]313 [.]322 [times]320 [ ]309 [{]322 [ ]309 [65]313 [.]322 [chr]320 [ ]309 [}]322 [ ]309 [1..2]313 [ ]309 [0x1F]316 [ ]309 [1_000]313 [ ]309 [?\\n]313"},
        {"empty? # note", "[empty?]320 [ ]309 [# note]302+"},
        {"?\\C-\\M-a ?\\C-", "[?\\C-\\M-a]313 [ ]309 [?\\C-]323"},
    });
    // A here-document opens a construct that ends at its terminator line.
    EXPECT_EQ(Lex("x = <<EOS", r), "[x]320 [ ]309 [=]322 [ ]309 [<<EOS]311+");
    EXPECT_EQ(lx_.EndState(), LEX_END_CONSTRUCT);
    LexLineSetup s;
    s.lang = r;
    s.depth = lx_.Depth();
    s.entry = lx_.Entry();
    ASSERT_GE(s.entry, LANG_DELIM_FILE);
    EXPECT_EQ(Lex("text EOS here", s), "[text EOS here]311+");
    EXPECT_EQ(Lex("EOS", s), "[EOS]311");
    EXPECT_EQ(lx_.EndState(), LEX_TOK_NONE);
    // With "<<-" the terminator may be indented.
    EXPECT_EQ(Lex("y = <<-END", r), "[y]320 [ ]309 [=]322 [ ]309 [<<-END]311+");
    s.depth = lx_.Depth();
    s.entry = lx_.Entry();
    EXPECT_EQ(Lex("  x END", s), "[  x END]311+");
    EXPECT_EQ(Lex("  END", s), "[  END]311");
    // "class <<" is no here-document.
    EXPECT_EQ(Lex("class << self", r), "[class]319 [ ]309 [<]322 [<]322 [ ]309 [self]320");
    // A block comment from the dictionary carried across lines.
    EXPECT_EQ(Lex("=begin", r), "[=begin]301+");
}

TEST_F(Lexer, PerlQuoteLikes) {
    int p = Load(24, kPerl);
    Check(p, {
        {"$x =~ s/a\\/b/c/g;", "[$x]320 [ ]309 [=]322 [~]322 [ ]309 [s/a\\/b/c/g]318 [;]322"},
        {"my @w = qw(a (b) c); q{x}", "[my]319 [ ]309 [@w]320 [ ]309 [=]322 [ ]309 [qw(a (b) c)]318 [;]322 [ ]309 [q{x}]318"},
        {"split /,/, $_; tr{a}{b}", "[split]319 [ ]309 [/,/]318 [,]322 [ ]309 [$_]320 [;]322 [ ]309 [tr{a}{b}]318"},
        {"$a = $b / 2; %h; # c", "[$a]320 [ ]309 [=]322 [ ]309 [$b]320 [ ]309 [/]322 [ ]309 [2]313 [;]322 [ ]309 [%h]320 [;]322 [ ]309 [# c]302+"},
        {"m/open", "[m]318 [/]322 [open]320"},
    });
}

TEST_F(Lexer, HtmlIniForthPlain) {
    int h = Load(15, kHtml);
    Check(h, {
        {"<b class=\"x\">5 &amp; y</b>", "[<]319 [b]319 [ ]319 [class]324 [=]322 [\"x\"]311 [>]319 [5]320 [ ]309 [&amp;]308 [ ]309 [y]320 [<]319 [/b]319 [>]319"},
        {"&#65; &foo; &bar x \"q\" a/b", "[&#65;]308 [ ]309 [&foo;]324 [ ]309 [&bar]323 [ ]309 [x]320 [ ]309 [\"]323 [q]320 [\"]323 [ ]309 [a]320 [/b]320"},
    });
    int i = Load(36, kIni);
    Check(i, {
        {"[Section One]", "[[]322 [Section One]321 []]322"},
        {"key=value ; c", "[key]320 [=]322 [value]320 [ ]309 [; c]302+"},
        {"[open", "[[]322 [open]322"},
    });
    int f = Load(12, kForth);
    Check(f, {
        {": sq dup * ; ( n -- n*n )", "[:]319 [ ]309 [sq]320 [ ]309 [dup]319 [ ]309 [*]320 [ ]309 [;]319 [ ]309 [( n -- n*n )]301"},
        {"12 x(y \\ rest", "[12]313 [ ]309 [x(y]320 [ ]309 [\\ rest]302+"},
    });
    int n = Load(21, kPlain);
    Check(n, {{"It's the 42 \"q\"", "[It]320 [']320 [s]320 [ ]309 [the]319 [ ]309 [42]320 [ ]309 [\"q\"]311"}});
    int t = Load(33, kPlain);
    Check(t, {{"a-b 1.5", "[a]320 [-]320 [b]320 [ ]309 [1.5]320"}});
}

TEST_F(Lexer, OtherFamilies) {
    struct Lang {
        int id;
        const char* source;
        std::initializer_list<Case> cases;
    };
    const Lang langs[] = {
        {3, kBatch, {{"REM a note", "[REM a note]302+"}, {":loop", "[:]322 [loop]321"}}},
        {1, kSimple, {{"l1: mov 0FFh,101b", "[l1]321 [:]322 [ ]309 [mov]320 [ ]309 [0FFh]316 [,]322 [101b]314"},
                      {"db $1F, 17o, 12ab, 102b", "[db]320 [ ]309 [$1F]316 [,]322 [ ]309 [17o]315 [,]322 [ ]309 [12ab]323 [,]322 [ ]309 [102b]323"}}},
        {34, kSimple, {{"x = 4'b10x1 + 8'hFF + 'bz;", "[x]320 [ ]309 [=]322 [ ]309 [4]313 ['b10]323 [x1]320 [ ]309 [+]322 [ ]309 [8]313 ['hFF]316 [ ]309 [+]322 [ ]309 ['bz]314 [;]322"},
                       {"\\bus+a $time", "[\\bus+a]320 [ ]309 [$]322 [time]320"},
                       {"8'b1010_0101 'd1__0", "[8]313 ['b1010_0101]314 [ ]309 ['d1_]323 [_0]320"}}},
        {31, kSimple, {{"x: \"note\" $a 16r1F 'str'.", "[x]321 [:]322 [ ]309 [\"note\"]300 [ ]309 [$a]312 [ ]309 [16r1F]316 [ ]309 ['str']311 [.]324"},
                       {"\"open", "[\"open]300+"}}},
        {29, kSimple, {{"x = 'FF'x 'a' '101'b", "[x]320 [ ]309 [=]322 [ ]309 ['FF'x]316 [ ]309 ['a']312 [ ]309 ['101'b]314"}}},
        {26, kSimple, {{"%include x; '1010'B 1011B", "[%]322 [include]320 [ ]309 [x]320 [;]322 [ ]309 ['1010'B]314 [ ]309 [1011B]314"}}},
        {10, kSimple, {{"IF x .AND. y", "[IF]320 [ ]309 [x]320 [ ]309 [.AND.]320 [ ]309 [y]320"}}},
        {32, kSimple, {{"select @@rowcount, @v", "[select]320 [ ]309 [@@rowcount]320 [,]322 [ ]309 [@v]320"}}},
        {25, kSimple, {{"$a = $$b@c", "[$a]320 [ ]309 [=]322 [ ]309 [$$b]320 [@]322 [c]320"}}},
    };
    for (const Lang& l : langs) {
        int index = Load(l.id, l.source);
        for (const Case& c : l.cases)
            EXPECT_EQ(Lex(c.line, index), c.tokens) << "language " << l.id << ": " << c.line;
    }
}

TEST_F(Lexer, UnknownLanguageColoursPlainWords) {
    EXPECT_EQ(Lex("int x = 1;", 999), "[int]320 [ ]309 [x]320 [ ]309 [=]322 [ ]309 [1]313 [;]322");
    EXPECT_EQ(lx_.EndState(), LEX_TOK_NONE);
}

TEST_F(Lexer, TokenAtColumn) {
    int c = Load(4, kC);
    LexLineSetup s;
    s.lang = c;
    const std::string line = "\tint abc; /* x";
    LexTokenInfo info;
    char text[64];
    // Column 9 is the first after the tab.
    EXPECT_EQ(LexTokenAt(lx_, s, line.data(), int(line.size()), 9, &info, text, sizeof text), 318);
    EXPECT_EQ(info.start_column, 9);
    EXPECT_EQ(info.end_column, 12);
    EXPECT_STREQ(text, "int");
    EXPECT_EQ(LexTokenAt(lx_, s, line.data(), int(line.size()), 14, &info, text, sizeof text), 320);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(LexTokenAt(lx_, s, line.data(), int(line.size()), 14, &info, text, sizeof text, true), 320);
    EXPECT_STREQ(text, "abc");
    EXPECT_EQ(info.start, 5);
    EXPECT_EQ(info.end, 8);
    EXPECT_EQ(LexTokenAt(lx_, s, line.data(), int(line.size()), 3, &info), LEX_TOK_BLANK);
    EXPECT_EQ(LexTokenAt(lx_, s, line.data(), int(line.size()), 20, &info), 301 | LEX_TOK_RUNS_ON);
    EXPECT_EQ(info.end_state, 301);
    EXPECT_EQ(info.entry, 0);
    EXPECT_EQ(LexTokenAt(lx_, s, line.data(), int(line.size()), 40, &info), LEX_TOK_END);
    EXPECT_EQ(info.end_state, LEX_END_CONSTRUCT);
}

TEST(LexerKinds, ColourKindOfCodes) {
    struct { int code, kind; } cases[] = {
        {309, 18}, {311, 22}, {313, 26}, {320, 40}, {322, 44}, {324, 48},
        {301 | LEX_TOK_RUNS_ON, 2}, {334, 68}, {335, 0}, {299, 0}, {-1, 0},
    };
    for (auto c : cases)
        EXPECT_EQ(LexColourKind(c.code), c.kind) << c.code;
}

// ---- agreement with the engine's lexical-state scan -------------------------

int g_c_lang = -1;
int BufferLanguage(VMB*) { return g_c_lang; }
int BufferTab(VMB*) { return 0; }
unsigned Flags(int lang) { return GetLanguageFlags(lang); }
int Nesting(int lang) { return IsLanguageFlag4000(lang); }
int WordLength(int lang, const char* text) { return LanguageWordLength(lang, text); }
int IsKeyword(int lang, const char* word, int len) {
    int code = LookupLanguageKeywordN(word, len, lang, 0, nullptr, 0);
    return code > 0 && code != 320;
}
const VmLangSource kSource = {BufferLanguage, BufferTab,  GetLanguageParserType, Flags,
                              Nesting,        MatchLanguageDelimiter, WordLength, IsKeyword};

// A line of random pieces: code, strings with escapes, character literals,
// comments opening, closing and nesting, line comments, stray delimiters.
std::string RandomLine(std::mt19937& rng, const std::vector<const char*>& pieces) {
    std::uniform_int_distribution<int> count(0, 12);
    std::uniform_int_distribution<int> pick(0, int(pieces.size()) - 1);
    std::string line;
    for (int n = count(rng); n > 0; --n)
        line += pieces[size_t(pick(rng))];
    return line;
}
const std::vector<const char*> kCPieces = {
    "int",  " ",    "x",     "=",      "1",      ";",    "/*",   "*/",  "//",  "\"",
    "'",    "\\",   "\\\"",  "'\\''",  "\"/*\"", "a/b",  "*",    "/",   "\t",  "#include <a.h>",
    "/**/", "x/*y", "*/*",   "'a'",    "0x1F",   "#",    "if",   "{",   "}",   "/*/",
};
const std::vector<const char*> kPascalPieces = {
    "begin", " ", "x", ":=", "1..5", ";", "(*", "*)", "{", "}", "//", "'", "''", "'a''b'",
    "\"", "(*)", "*", "(", ")", "\t", "$FF", "end",
};
std::string RandomCLine(std::mt19937& rng) { return RandomLine(rng, kCPieces); }

// For random files, the state the lexer ends a line in is the state the
// engine's scan reports for the next line: open or not, nesting depth, entry.
TEST_F(Lexer, EndStateAgreesWithEngineScan) {
    struct Lang {
        int id;
        const char* source;
        const std::vector<const char*>* pieces;
    };
    const std::string shipped_c = MasterDictionary(4);
    const Lang langs[] = {{4, kC, &kCPieces},
                          {23, kPascal, &kPascalPieces},
                          {4, shipped_c.c_str(), &kCPieces}};
    const VmLangSource* before = vm_set_lang_source(&kSource);
    std::mt19937 rng(20);
    for (const Lang& l : langs) {
        ResetLanguageData(0x1);
        std::remove((config() + "lang$c.JS").c_str());
        g_c_lang = Load(l.id, l.source);
        for (int file = 0; file < 20; ++file) {
            VMB* b = vmb_open(VMB_T_TEMP, nullptr, 0);
            ASSERT_NE(b, nullptr);
            std::vector<std::string> lines;
            for (int i = 0; i < 150; ++i) {
                lines.push_back(RandomLine(rng, *l.pieces));
                ASSERT_GT(vm_append_line(b, lines.back().c_str()), 0);
            }
            LexLineSetup s;
            s.lang = g_c_lang;
            for (int line = 1; line < int(lines.size()); ++line) {
                ASSERT_EQ(LexStartState(b, line, g_c_lang, false, &s), 0);
                const std::string& text = lines[size_t(line - 1)];
                LexLine(lx_, s, text.data(), int(text.size()), nullptr, 0);
                LexLineSetup next;
                next.lang = g_c_lang;
                LexStartState(b, line + 1, g_c_lang, false, &next);
                ASSERT_EQ(lx_.EndState() == LEX_END_CONSTRUCT, next.depth > 0)
                    << "language " << l.id << " file " << file << " line " << line << ": " << text;
                if (next.depth > 0) {
                    ASSERT_EQ(lx_.Depth(), next.depth) << text;
                    ASSERT_EQ(lx_.Entry(), next.entry) << text;
                }
            }
            vmb_close(b, 0);
        }
    }
    vm_set_lang_source(before);
}

// The start state comes from the engine, provisionally when a long stretch
// of unknown lines is bridged; languages without regions start outside.
TEST_F(Lexer, StartStateFromTheEngine) {
    g_c_lang = Load(4, kC);
    const int plain = Load(33, kPlain);
    const VmLangSource* before = vm_set_lang_source(&kSource);
    VMB* b = vmb_open(VMB_T_TEMP, nullptr, 0);
    ASSERT_NE(b, nullptr);
    ASSERT_GT(vm_append_line(b, "x; /* open"), 0);
    for (int i = 0; i < 700; ++i)
        ASSERT_GT(vm_append_line(b, "inside"), 0);
    LexLineSetup s;
    // The bounded backward search does not reach the opener: a provisional
    // "outside", which the forward scan then corrects.
    EXPECT_EQ(LexStartState(b, 650, g_c_lang, true, &s), 1);
    EXPECT_EQ(s.depth, 0);
    EXPECT_EQ(LexStartState(b, 650, g_c_lang, false, &s), 0);
    EXPECT_EQ(s.depth, 1);
    EXPECT_EQ(s.entry, 0);
    EXPECT_EQ(LexStartState(b, 1, g_c_lang, false, &s), 0);
    EXPECT_EQ(s.depth, 0);
    EXPECT_EQ(LexStartState(b, 650, plain, false, &s), 0);
    EXPECT_EQ(s.depth, 0);
    EXPECT_EQ(s.entry, -1);
    vmb_close(b, 0);
    vm_set_lang_source(before);
}

// Two scanners on two threads at once give what one gives alone.
TEST_F(Lexer, ScannersOnTwoThreadsAgree) {
    int c = Load(4, kC);
    std::mt19937 rng(3);
    std::vector<std::string> lines;
    for (int i = 0; i < 400; ++i)
        lines.push_back(RandomCLine(rng) + " if return int x1 while");
    auto run = [&](std::string* out) {
        CLexer lexer;
        std::vector<LexToken> toks(4096);
        LexLineSetup s;
        s.lang = c;
        for (const std::string& l : lines) {
            int n = LexLine(lexer, s, l.data(), int(l.size()), toks.data(), int(toks.size()));
            for (int i = 0; i < n; ++i)
                *out += std::to_string(toks[size_t(i)].end) + ":" + std::to_string(toks[size_t(i)].code) + " ";
            s.depth = lexer.Depth();
            s.entry = lexer.Entry();
        }
    };
    std::string alone, a, b;
    run(&alone);
    std::thread t1(run, &a), t2(run, &b);
    t1.join();
    t2.join();
    EXPECT_EQ(a, alone);
    EXPECT_EQ(b, alone);
}

// ---- the shipped dictionaries ------------------------------------------------

TEST_F(Lexer, ShippedCDictionary) {
    const std::string source = MasterDictionary(4);
    ASSERT_FALSE(source.empty());
    int c = Load(4, source.c_str());
    Check(c, {
        {"#include <stdio.h>", "[#include]308 [ ]309 [<stdio.h>]308"},
        {"  #  define N 1", "[  ]309 [#  define]308 [ ]309 [N]320 [ ]309 [1]313"},
        {"int main(void) { return 0; } // c", "[int]318 [ ]309 [main]320 [(]322 [void]318 [)]322 [ ]309 [{]322 [ ]309 [return]319 [ ]309 [0]313 [;]322 [ ]309 [}]322 [ ]309 [// c]301+"},
        {"s = \"a /* b\"; /* c", "[s]320 [ ]309 [=]322 [ ]309 [\"a /* b\"]311 [;]322 [ ]309 [/* c]301+"},
    });
}

// Every shipped dictionary loads, and lines of every kind split into tokens
// that cover them, whatever they hold.
TEST_F(Lexer, ShippedDictionariesCoverEveryLine) {
    const char* const lines[] = {
        "#include <stdio.h> // x", "int x = 0x1F + 1.5e3; /* open", "end */ 'a' \"s\\\"\" 08",
        "(* p *) { q } x := 1..5;", "C     FIXED COMMENT", "000100 DATA DIVISION.",
        "puts <<EOS", "x = %q(a) + ?a / 2 # c", "$x =~ s/a/b/; q{y}", "<b>&amp; &#65;</b>",
        "[section] ; c", ": sq dup * ; ( c )", "A' 'str' % c", "X'First -- c", "REM x",
        "\t\tlabel: mov 0FFh, $1F", "`define X 4'b1010", "\"comment\" $a 16r1F", "",
    };
    for (int id = 0; id < LANG_COMMANDS; ++id) {
        const std::string source = MasterDictionary(id);
        ASSERT_FALSE(source.empty()) << id;
        int index = Load(id, source.c_str());
        for (const char* line : lines) {
            LexLineSetup s;
            s.lang = index;
            s.fixed_columns = true;
            Lex(line, s);
            s.fixed_columns = false;
            s.depth = 1;
            s.entry = 0;
            Lex(line, s);
        }
    }
}

// ---- hostile input ------------------------------------------------------------

TEST_F(Lexer, AnyBytesAreCoveredExactly) {
    const int langs[] = {Load(4, kC), Load(30, kRuby), Load(24, kPerl), Load(15, kHtml),
                         Load(12, kForth), Load(13, kFortran), Load(23, kPascal),
                         Load(19, kMatlab), Load(36, kIni), 999};
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> byte(0, 255), len(0, 300), depth(0, 3), entry(-2, 80);
    const char alphabet[] = "\"'`<>/*#%$@?\\(){}[]=.:;-+_ \tabcEOS019xq";
    std::uniform_int_distribution<int> pick(0, int(sizeof alphabet) - 2);
    for (int round = 0; round < 3000; ++round) {
        std::string line(size_t(len(rng)), ' ');
        const bool bytes = round % 2 == 0;
        for (char& ch : line)
            ch = bytes ? char(byte(rng)) : alphabet[pick(rng)];
        LexLineSetup s;
        s.lang = langs[size_t(round) % (sizeof langs / sizeof langs[0])];
        s.depth = depth(rng);
        s.entry = entry(rng);
        s.fixed_columns = round % 3 == 0;
        s.tab_width = round % 7;
        Lex(line, s);
        const int end = lx_.EndState();
        EXPECT_TRUE(end == LEX_TOK_NONE || end == LEX_END_RUNS_ON || end == LEX_END_CONSTRUCT);
    }
    // A line far past the row limit, and one of every byte value.
    std::string big(100000, 'a');
    for (size_t k = 0; k < big.size(); k += 7)
        big[k] = "/*\"' \t"[k % 6];
    Lex(big, langs[0]);
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += char(c);
    for (int l : langs)
        Lex(all, l);
}

TEST_F(Lexer, FullRubyEntryTableStillCoversLines) {
    int r = Load(30, kRuby);
    // Every run-time entry taken by a different here-document terminator.
    for (int i = 0; i < LANG_DELIM_COUNT - LANG_DELIM_FILE; ++i) {
        std::string line = "x = <<T" + std::to_string(i) + "x";
        Lex(line, r);
    }
    EXPECT_EQ(Lex("y = <<FULL", r), "[y]320 [ ]309 [=]322 [ ]309 [<]322 [<]322 [FULL]320");
    EXPECT_EQ(Lex("z = %q(new)", r), "[z]320 [ ]309 [=]322 [ ]309 [%]322 [q]320 [(]322 [new]320 [)]322");
}

} // namespace
