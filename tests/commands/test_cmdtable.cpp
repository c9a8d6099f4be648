// Tests of the command table: the stated counts of its records and bits,
// agreement of the table with its string entries and the command dictionary,
// names and identifiers, handler attachment, and the K_cmd_params accessors.
#include <climits>
#include <map>
#include <set>
#include <sstream>

#include "cmd_fixture.h"
#include "commands/progtitles.h"

using cmdtest::CommandTest;

namespace {

std::set<int> range(int a, int b) {
    std::set<int> s;
    for (int i = a; i <= b; ++i) s.insert(i);
    return s;
}
std::set<int> join(std::initializer_list<std::set<int>> parts) {
    std::set<int> s;
    for (const auto& p : parts) s.insert(p.begin(), p.end());
    return s;
}
std::set<int> ids_with(uint32_t bit) {
    std::set<int> s;
    for (int id = K_CMD_FIRST; id <= K_CMD_LAST; ++id)
        if (K_cmd_get_flags(id) & bit) s.insert(id);
    return s;
}

const std::set<int> kPlaceholders = join({{304, 305, 306, 312, 313, 314, 335, 351, 452, 453, 454, 519,
                                           567, 664},
                                          range(670, 679)});
const std::set<int> kToggles = join({range(339, 341), range(354, 358), range(484, 486), {490},
                                     range(492, 494), {496}, range(500, 503),
                                     {520, 521, 551, 560, 566, 580, 584, 604, 630}, range(633, 640),
                                     {642}, range(645, 647), {650, 652, 653, 658}});
const std::set<int> kWithoutEntry = join({{310, 574, 575}, range(616, 621), range(623, 626),
                                          range(660, 663)});

// The string entries of the generated resource file: id -> text.
std::map<int, std::string> rc_entries() {
    std::map<int, std::string> out;
    std::istringstream in(cmdtest::read_source_file("res/strings_cmdtable.rc"));
    std::string line;
    while (std::getline(in, line)) {
        size_t q = line.find('"');
        if (q == std::string::npos || line.find("//") == 0) continue;
        int id = std::atoi(line.c_str());
        std::string text;
        for (size_t i = q + 1; i < line.size(); ++i) {
            if (line[i] == '"') {
                if (i + 1 < line.size() && line[i + 1] == '"') { text += '"'; ++i; continue; }
                break;
            }
            if (line[i] == '\\' && i + 1 < line.size() && line[i + 1] == 't') { text += '\t'; ++i; continue; }
            text += line[i];
        }
        out[id] = text;
    }
    return out;
}

// The words of the command dictionary file: name -> text after the blank.
std::map<std::string, std::string> dictionary_words() {
    std::map<std::string, std::string> out;
    std::istringstream in(cmdtest::read_source_file("config/lang_qwk.xxx"));
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';' || line[0] == '[') continue;
        size_t blank = line.find(' ');
        if (blank == std::string::npos) continue;
        out[line.substr(0, blank)] = line.substr(blank + 1);
    }
    return out;
}

std::map<std::string, std::string> g_dict;
std::string g_last_word;
int dict_lookup(const char* word, char* text, int size) {
    g_last_word = word;
    auto it = g_dict.find(word);
    if (it == g_dict.end()) return 0;
    std::snprintf(text, size_t(size), "%s", it->second.c_str());
    return 1;
}
int dict_missing(const char*, char*, int) { return -1; }

} // namespace

TEST_F(CommandTest, EveryStatedCountHolds) {
    struct { uint32_t bit; size_t count; } counts[] = {
        {0x1, 73}, {0x2, 153}, {0x4, 229}, {0x8, 2}, {0x10, 393}, {0x20, 352}, {0x40, 361},
        {0x80, 218}, {0x100, 138}, {0x200, 8}, {0x400, 47}, {0x800, 81}, {0x1000, 12},
        {0x2000, 28}, {0x4000, 12}, {0x8000, 0}, {0x10000, 0}, {0x20000, 0}, {0x40000, 27},
        {0x80000, 9}, {0x100000, 13}, {0x400000, 8}, {0x800000, 79}, {0x1000000, 63},
        {0x2000000, 0}, {0x4000000, 4},
    };
    for (const auto& c : counts) EXPECT_EQ(ids_with(c.bit).size(), c.count) << std::hex << c.bit;
    EXPECT_EQ(ids_with(0x8), (std::set<int>{433, 456}));
    EXPECT_EQ(ids_with(0x4000), (std::set<int>{386, 388, 392, 394, 407, 409, 411, 413, 415, 417, 423, 425}));
    for (int id : {316, 317, 318, 366, 513}) EXPECT_TRUE(K_cmd_get_flags(id) & 0x400000) << id;
    // A bit used by no Part stays clear.
    const uint32_t known = 0x7FFFFFF & ~0x200000u;
    for (int id = K_CMD_FIRST; id <= K_CMD_LAST; ++id)
        EXPECT_EQ(K_cmd_get_flags(id) & ~known, 0u) << id;
    // Statically no title is a heap copy: 0x400 never stands beside a title bit.
    for (int id : ids_with(0x400)) EXPECT_FALSE(K_cmd_get_flags(id) & 0x300) << id;
}

TEST_F(CommandTest, HandlerKindsTitlesPlaceholdersAndToggles) {
    std::set<int> none, functions, titles, placeholders, toggles;
    std::set<std::string> distinct_titles;
    for (int id = K_CMD_FIRST; id <= K_CMD_LAST; ++id) {
        const K_cmd_record* r = K_cmd_lookup(id);
        if (!K_cmd_is_implemented(id)) {
            placeholders.insert(id);
            functions.insert(id);
        } else if (r->attr & 0x300) {
            titles.insert(id);
            distinct_titles.insert(r->handler.title);
        } else if (r->handler.fn) {
            functions.insert(id);
            if (r->handler.fn == &K_cmd_toggle_setting) toggles.insert(id);
        } else {
            none.insert(id);
        }
    }
    EXPECT_EQ(none.size(), 131u);
    EXPECT_EQ(functions.size(), 141u);
    EXPECT_EQ(titles.size(), 121u);
    EXPECT_EQ(distinct_titles.size(), 36u);
    EXPECT_EQ(placeholders, kPlaceholders);
    EXPECT_EQ(toggles, kToggles);
    // A sample of the title assignments, and their run flag.
    int flag = -1;
    EXPECT_STREQ(K_cmd_get_title(455, &flag), "Qw_TextSel");
    EXPECT_EQ(flag, 1);
    EXPECT_STREQ(K_cmd_get_title(450, &flag), "undo");
    EXPECT_EQ(flag, 0);
    EXPECT_STREQ(K_cmd_get_title(669, &flag), "Config");
    EXPECT_EQ(K_cmd_get_title(304, &flag), nullptr);  // placeholder with a title bit
    // Every title of the table is in the catalogue of titles.
    for (const std::string& t : distinct_titles) EXPECT_NE(QwFindProgramTitle(t.c_str()), nullptr) << t;
    EXPECT_NE(QwFindProgramTitle("CONFIG"), nullptr);
    EXPECT_EQ(QwFindProgramTitle("NoSuchProgram"), nullptr);
    // Placeholders never appear in the category lists.
    for (int n = 0; n < K_cmd_category_count(); ++n) {
        int ids[64];
        int count = K_cmd_category_commands(n, ids, 64);
        ASSERT_LE(count, 64);
        for (int i = 0; i < count; ++i) {
            EXPECT_FALSE(kPlaceholders.count(ids[i])) << ids[i];
            EXPECT_TRUE(K_cmd_get_flags(ids[i]) & K_ATTR_LISTED);
            EXPECT_EQ(K_cmd_category_of(ids[i]), n);
        }
    }
}

TEST_F(CommandTest, InitialValues) {
    int p = 0, t = 0;
    for (int id = K_CMD_FIRST; id <= K_CMD_LAST; ++id) {
        const K_cmd_record* r = K_cmd_lookup(id);
        if (r->attr & K_ATTR_PROFILE) ++p;
        if (r->attr & K_ATTR_DECIMAL) {
            ++t;
            EXPECT_TRUE(r->attr & K_ATTR_PROFILE) << id;
        }
        if (!(r->attr & K_ATTR_PROFILE)) {
            EXPECT_EQ(r->value, -1) << id;
        }
    }
    EXPECT_EQ(p, 63);
    EXPECT_EQ(t, 4);
    struct { int id; intptr_t value; uint32_t bits; } cases[] = {
        {631, 150, K_ATTR_PROFILE | K_ATTR_DECIMAL}, {641, 30, K_ATTR_PROFILE | K_ATTR_DECIMAL},
        {644, 500, K_ATTR_PROFILE | K_ATTR_DECIMAL}, {654, 1, K_ATTR_PROFILE | K_ATTR_DECIMAL},
        {491, -1, K_ATTR_PROFILE}, {630, 1, K_ATTR_PROFILE}, {635, 0, K_ATTR_PROFILE},
        {669, -1, K_ATTR_PROFILE}, {339, 1, K_ATTR_PROFILE},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(K_cmd_lookup(c.id)->value, c.value) << c.id;
        EXPECT_EQ(K_cmd_get_flags(c.id) & (K_ATTR_PROFILE | K_ATTR_DECIMAL), c.bits) << c.id;
    }
}

TEST_F(CommandTest, NamesStringEntriesAndDictionaryAgree) {
    std::map<int, std::string> rc = rc_entries();
    std::map<std::string, std::string> dict = dictionary_words();
    ASSERT_FALSE(rc.empty());
    ASSERT_FALSE(dict.empty());
    int entries = 0;
    std::set<int> tab_names;
    for (int id = K_CMD_FIRST; id <= K_CMD_LAST; ++id) {
        char name[K_CMD_NAME_BUF], desc[K_CMD_NAME_BUF];
        char* n = K_cmd_get_name(name, id);
        char* d = K_cmd_get_description(desc, id);
        if (kWithoutEntry.count(id)) {
            EXPECT_EQ(n, nullptr) << id;
            EXPECT_EQ(d, nullptr) << id;
            EXPECT_EQ(name[0], '\0');
            EXPECT_FALSE(rc.count(id + K_CMD_STRING_BASE)) << id;
            continue;
        }
        ++entries;
        ASSERT_NE(n, nullptr) << id;
        ASSERT_NE(d, nullptr) << id;
        EXPECT_EQ(rc[id + K_CMD_STRING_BASE], std::string(desc) + "\t" + name) << id;
        if (name[0] == '\t') tab_names.insert(id);
        const char* bare = name[0] == '\t' ? name + 1 : name;
        EXPECT_EQ(dict[bare], std::to_string(id)) << bare;
        EXPECT_LE(std::strlen(bare), size_t(K_CMD_NAME_MAX));
#ifdef _WIN32
        // The program's string table holds the same entry.
        char loaded[256];
        ASSERT_GT(LoadAppString(unsigned(id + K_CMD_STRING_BASE), loaded, int(sizeof loaded)), 0) << id;
        EXPECT_EQ(rc[id + K_CMD_STRING_BASE], loaded);
#endif
    }
    EXPECT_EQ(entries, 376);
    EXPECT_EQ(dict.size(), 376u + 2u);  // and the menu head and separator
    EXPECT_EQ(dict["K_M_HEAD"], "300");
    EXPECT_EQ(tab_names, (std::set<int>{684, 687, 689, 690, 691, 692, 693}));
    char desc[K_CMD_NAME_BUF];
    EXPECT_STREQ(K_cmd_get_description(desc, 305), "Displays a Tip of the Day");
    EXPECT_STREQ(K_cmd_get_description(desc, 658), "Toggles syntax highlighting on and off");

    ASSERT_EQ(K_cmd_category_count(), 27);
    std::set<int> starts = ids_with(K_ATTR_CATEGORY_START);
    auto it = starts.begin();
    for (int n = 0; n < 27; ++n, ++it) {
        EXPECT_EQ(K_cmd_category_first(n), *it);
        EXPECT_EQ(rc[K_CMD_CATEGORY_STRING + n], K_cmd_category_name(n));
    }
    EXPECT_STREQ(K_cmd_category_name(17), "Language Setup");
    EXPECT_EQ(K_cmd_category_of(572), 17);
    EXPECT_EQ(K_cmd_category_of(693), 26);
    EXPECT_EQ(K_cmd_category_name(27), nullptr);
    EXPECT_EQ(K_cmd_category_first(-1), -1);
}

TEST_F(CommandTest, IdentifiersWithoutRecord) {
    for (int id : {INT_MIN, -1, 0, 1, 299, 300, 694, 999, 1000, INT_MAX}) {
        EXPECT_EQ(K_cmd_lookup(id), nullptr) << id;
        EXPECT_EQ(K_cmd_get_flags(id), 0u) << id;
        char buf[K_CMD_NAME_BUF] = "junk";
        EXPECT_EQ(K_cmd_get_name(buf, id), nullptr) << id;
        EXPECT_EQ(buf[0], '\0');
        EXPECT_EQ(K_cmd_set_handler(id, &K_cmd_placeholder), 5);
        EXPECT_EQ(K_cmd_set_view_handler(id, nullptr), 5);
        EXPECT_EQ(K_cmd_set_title(id, "x", 1), 5);
        EXPECT_TRUE(K_cmd_is_implemented(id));
        EXPECT_EQ(K_cmd_category_of(id), -1);
    }
    struct { int id; bool setting, chr, printable; } ranges[] = {
        {0, false, false, false}, {1, false, true, false}, {32, false, true, true},
        {126, false, true, true}, {127, false, true, false}, {299, false, true, false},
        {300, true, false, false}, {999, true, false, false}, {1000, false, false, false},
    };
    for (const auto& r : ranges) {
        EXPECT_EQ(is_setting_id(r.id), r.setting) << r.id;
        EXPECT_EQ(is_char_cmd_id(r.id), r.chr) << r.id;
        EXPECT_EQ(is_printable_char_id(r.id), r.printable) << r.id;
    }
}

TEST_F(CommandTest, IdFromNameThroughTheDictionary) {
    EXPECT_EQ(K_cmd_id_from_name("K_FileOpen"), -1);  // no dictionary yet
    g_dict = dictionary_words();
    K_cmd_set_dictionary_lookup(dict_lookup);
    for (int id = K_CMD_FIRST; id <= K_CMD_LAST; ++id) {
        char name[K_CMD_NAME_BUF];
        if (!K_cmd_get_name(name, id)) continue;
        EXPECT_EQ(K_cmd_id_from_name(name[0] == '\t' ? name + 1 : name), id) << name;
    }
    EXPECT_EQ(K_cmd_id_from_name("K_M_HEAD"), 300);
    EXPECT_EQ(K_cmd_id_from_name("K_NoSuchCommand"), -1);
    EXPECT_EQ(K_cmd_id_from_name(""), -1);
    EXPECT_EQ(K_cmd_id_from_name(nullptr), -1);
    // A name longer than the limit reaches the dictionary cut to 99 characters.
    std::string longname = "K_FileOpen" + std::string(200, 'x');
    EXPECT_EQ(K_cmd_id_from_name(longname.c_str()), -1);
    EXPECT_EQ(g_last_word.size(), size_t(K_CMD_NAME_MAX));
    // A dictionary word whose text is not a number is not a command.
    g_dict["K_Broken"] = "abc";
    EXPECT_EQ(K_cmd_id_from_name("K_Broken"), -1);
    K_cmd_set_dictionary_lookup(dict_missing);
    EXPECT_EQ(K_cmd_id_from_name("K_FileOpen"), -1);
}

namespace {
int g_view_calls = 0;
int view_method(void*, int, K_cmd_params*) { return ++g_view_calls; }
int view_noargs(void*) { return 7; }
int bound_fn(int id, K_cmd_params*) { return id * 2; }
} // namespace

TEST_F(CommandTest, AttachingHandlersClearsTheOldKind) {
    // A title of the record's own is freed when a view method replaces it
    // (the sanitizers of the host build catch a leak or a double free).
    ASSERT_EQ(K_cmd_set_title(455, "MyCopy", 1), 0);
    EXPECT_EQ(K_cmd_get_flags(455) & 0x700, 0x500u);
    int flag = -1;
    EXPECT_STREQ(K_cmd_get_title(455, &flag), "MyCopy");
    ASSERT_EQ(K_cmd_set_view_handler(455, view_method), 0);
    EXPECT_EQ(K_cmd_get_flags(455) & (0x700 | K_ATTR_VIEW_METHOD), unsigned(K_ATTR_VIEW_METHOD));
    EXPECT_EQ(K_cmd_lookup(455)->handler.view, &view_method);
    // A view method replaced by the no-argument kind loses 0x8000.
    ASSERT_EQ(K_cmd_set_view_handler_noargs(455, view_noargs), 0);
    EXPECT_EQ(K_cmd_get_flags(455) & (K_ATTR_VIEW_METHOD | K_ATTR_VIEW_NOARGS), unsigned(K_ATTR_VIEW_NOARGS));
    // A static title is not freed, only its bits go.
    ASSERT_EQ(K_cmd_set_handler(382, bound_fn), 0);
    EXPECT_EQ(K_cmd_get_flags(382) & 0x700, 0u);
    // The placeholder with its title bit is a function, never a title to free.
    ASSERT_EQ(K_cmd_set_view_handler(304, view_method), 0);
    EXPECT_TRUE(K_cmd_is_implemented(304));
    // Functions of the modules above bind by slot name; an unbound slot answers -2.
    K_cmd_params p;
    K_cmd_params_init(&p, 1, 316, nullptr, 0, 0);
    K_cmd_fn open = K_cmd_lookup(316)->handler.fn;
    EXPECT_EQ(open(316, &p), -2);
    EXPECT_EQ(K_cmd_bind_function("FileOpen", bound_fn), 0);
    EXPECT_EQ(open(316, &p), 632);
    EXPECT_EQ(K_cmd_bind_function("FileOpen", nullptr), 0);
    EXPECT_EQ(K_cmd_bind_function("NoSuchSlot", bound_fn), -1);
    EXPECT_EQ(K_cmd_bind_function(nullptr, bound_fn), -1);
    EXPECT_STREQ(K_cmd_slot_name(0), "HelpSearch");
    EXPECT_EQ(K_cmd_slot_name(-1), nullptr);
}

TEST_F(CommandTest, ParamsNumbersAndOnOff) {
    struct { const char* text; int number; int onoff; bool has; } cases[] = {
        {"42", 42, 0, true},        {"12abc", 12, 0, true},   {"abc12", -1, 0, true},
        {"", -1, -1, false},        {nullptr, -1, -1, false}, {"on", -1, 2, true},
        {"ON", -1, 2, true},        {"oFf", -1, 1, true},     {"onward", -1, 0, true},
        {" on", -1, 0, true},       {"99999999999", 0x7FFFFFFF, 0, true},
    };
    for (const auto& c : cases) {
        K_cmd_params p;
        K_cmd_params_init(&p, 1, 489, c.text, 5, 6);
        int n = 0;
        EXPECT_EQ(K_cmd_params_get_number(&p, &n), c.number != -1) << (c.text ? c.text : "null");
        EXPECT_EQ(n, c.number);
        EXPECT_EQ(K_cmd_params_get_onoff(&p), c.onoff) << (c.text ? c.text : "null");
        EXPECT_EQ(K_cmd_params_has_string(&p), c.has);
        EXPECT_EQ(K_cmd_params_is_on(&p), c.onoff == 2);
    }
    K_cmd_params p;
    K_cmd_params_init(&p, 8, 489, "abcdef", 5, 6);
    EXPECT_TRUE(K_cmd_params_is_macro(&p));
    EXPECT_FALSE(K_cmd_params_is_kind0(&p));
    EXPECT_EQ(K_cmd_params_get_arg(&p), 5);
    EXPECT_EQ(p.extra, 6);
    EXPECT_EQ(p.minus_one, -1);
    EXPECT_EQ(p.char_flag, 1);
    char small[4];
    EXPECT_EQ(K_cmd_params_copy_string(&p, small, sizeof small), 3);
    EXPECT_STREQ(small, "abc");
    // A record without its tag (or none) answers as a record without text.
    p.tag = 0;
    EXPECT_EQ(K_cmd_params_get_string(&p), nullptr);
    EXPECT_EQ(K_cmd_params_copy_string(nullptr, small, sizeof small), 0);
    EXPECT_EQ(small[0], '\0');
    EXPECT_EQ(K_cmd_params_get_onoff(nullptr), -1);
    EXPECT_FALSE(K_cmd_params_get_number(nullptr));
}

TEST_F(CommandTest, ParamsTakeTheirTextFromTheKeySequence) {
    std::vector<int32_t> seq = {489, -3, '1', '2', 'x', -4, 410, -1};
    K_cmd_params p;
    K_cmd_params_init(&p, 0, 489, nullptr, 0, 0);
    p.seq = seq.data() + 1;
    EXPECT_TRUE(K_cmd_params_in_sequence(&p));
    int n = 0;
    EXPECT_TRUE(K_cmd_params_get_number(&p, &n));
    EXPECT_EQ(n, 12);
    EXPECT_STREQ(K_cmd_params_get_string(&p), "12x");
    EXPECT_EQ(p.seq_cursor, seq.data() + 6);
    // A text longer than the record holds is cut, the cursor still passes it.
    std::vector<int32_t> big = {-3};
    big.insert(big.end(), 600, 'a');
    big.push_back(-4);
    big.push_back(-1);
    K_cmd_params q;
    K_cmd_params_init(&q, 0, 489, nullptr, 0, 0);
    q.seq = big.data();
    ASSERT_NE(K_cmd_params_get_string(&q), nullptr);
    EXPECT_EQ(std::strlen(q.text), size_t(K_CMD_SEQ_TEXT_MAX));
    EXPECT_EQ(*q.seq_cursor, -1);
    // A sequence that ends before its closing marker stops at the end.
    std::vector<int32_t> cut = {-3, 'a', -1};
    K_cmd_params r;
    K_cmd_params_init(&r, 0, 489, nullptr, 0, 0);
    r.seq = cut.data();
    EXPECT_STREQ(K_cmd_params_get_string(&r), "a");
    EXPECT_EQ(*r.seq_cursor, -1);
}
