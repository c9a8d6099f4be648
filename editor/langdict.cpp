// Language dictionaries: compiling the source files, loading the compiled
// sections into "Dicts", keyword lookups, completion lists and templates.
#include "editor/langdict.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "editor/langspec.h"
#include "opsys/bufstream.h"
#include "opsys/files.h"
#include "opsys/format.h"
#include "opsys/msgout.h"
#include "opsys/paths.h"
#include "opsys/shell_outlets.h"
#include "opsys/strlib.h"
#include "Reu/reu_lines.h"
#include "VmEngine/vm.h"
#include "VmEngine/vmfile.h"

namespace {

enum : unsigned {
    IDS_DICT_UPDATING = 907,        // "Updating language dictionary...%n"
    IDS_DICT_BAD_GROUP = 908,       // "Invalid group keyword."
    IDS_DICT_NO_EXPANSION = 909,
    IDS_DICT_BAD_COMMAND = 910,
    IDS_DICT_BAD_SPEC = 911,        // "Language specification line is invalid."
    IDS_DICT_BAD_VERSION = 912,
    IDS_DICT_MISSING = 1083,
    IDS_DICT_UNOPENABLE = 1084,
    IDS_SAVE_FAILED = 1404,         // "Error saving file '%s'%b"
    IDS_EDIT_OPEN_FAILED = 693,
    IDS_EDIT_CAPTION = 694,
    IDS_EDIT_TEXT = 695,
};

constexpr int kSpecVersion = 1;     // the oldest specification version read
constexpr unsigned kErrorTab = 6;   // output tab of dictionary errors
constexpr unsigned kErrorFlags = QW_MSG_OUTPUT | (kErrorTab << 16);
const char* const kDictsName = "Dicts";

const char* const kDictionaryNames[LANG_COUNT] = {
    "lang_ada", "lang_asm", "lang_bas", "lang_bat", "lang_c",   "lang_ci",     "lang_cl5",
    "lang_cli", "lang_cob", "lang_dfx", "lang_dba", "lang_eif", "lang_fth",    "lang_for",
    "lang_fox", "lang_htm", "lang_jav", "lang_lim", "lang_lsp", "lang_matlab", "lang_mod",
    "lang_non", "lang_par", "lang_pas", "lang_prl", "lang_php", "lang_pl1",    "lang_prs",
    "lang_pro", "lang_rex", "lang_ruby", "lang_smt", "lang_sql", "lang_tex",   "lang_vlg",
    "lang_hdl", "lang_win", "lang_qwk",
};

std::string g_master_folder;
std::string g_user_extension;
LangDictHooks g_hooks{};
std::recursive_mutex g_load_mutex;

bool is_blank(int c) { return c == ' ' || c == '\t'; }

// A string-table text, empty when the table has none.
std::string app_text(unsigned id) {
    char buf[1024];
    return LoadAppString(id, buf, sizeof buf) ? std::string(buf) : std::string();
}

void report_line(const char* file, int line, unsigned id, const char* detail = nullptr) {
    std::string text = app_text(id);
    if (detail) text += detail;
    MsgOut(kErrorFlags, "%s(%d) : %s", file, line, text.c_str());
}

// Reads one line of at most DICT_LINE_MAX characters; the rest of a longer
// line is dropped, and so are all its trailing CRs (a word stored with one
// would lose it in the compiled file and never be found). False at the end
// of the file.
bool read_line(buf_stream* s, std::string& line) {
    line.clear();
    int c = buf_stream_getc(s, 1);
    if (c < 0) return false;
    while (c >= 0 && c != '\n') {
        if (line.size() < DICT_LINE_MAX) line.push_back(static_cast<char>(c));
        c = buf_stream_getc(s, 1);
    }
    while (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

char class_letter(int cls) {
    switch (cls) {
    case TOKEN_KEYWORD: return 'K';
    case TOKEN_TYPENAME: return 'T';
    case TOKEN_PREPROCESSOR: return 'P';
    default:
        if (cls >= TOKEN_USER_1 && cls < TOKEN_USER_1 + 10) return static_cast<char>('0' + cls - TOKEN_USER_1);
        return 0;
    }
}

int class_token(char letter) {
    switch (letter) {
    case 'K': case 'c': return TOKEN_KEYWORD;
    case 'T': return TOKEN_TYPENAME;
    case 'P': return TOKEN_PREPROCESSOR;
    default:
        if (letter >= '0' && letter <= '9') return TOKEN_USER_1 + (letter - '0');
        return TOKEN_OTHER_CLASS;
    }
}

// The group a "[name]" line starts; 0 when the name is unknown.
char group_letter(const std::string& name) {
    static const struct { const char* name; char letter; } groups[] = {
        {"QW Commands", 'c'}, {"Templates", 't'}, {"Preprocessor", 'P'}, {"Types", 'T'},
        {"Keywords", 'K'},    {"Language Specification", 'l'},
    };
    for (const auto& g : groups)
        if (StrEqualNoCase(name.c_str(), g.name)) return g.letter;
    for (int i = 1; i <= 10; ++i)
        if (StrEqualNoCase(name.c_str(), ("User " + std::to_string(i)).c_str()))
            return static_cast<char>('0' + i - 1);
    return 0;
}

std::string lower_copy(const char* p, size_t n) {
    std::string s(p, n);
    for (char& c : s) c = static_cast<char>(CharToLower(static_cast<unsigned char>(c)));
    return s;
}

VMB* dicts_buffer(bool create) {
    return vmb_open(VMB_T_TEMP, kDictsName, create ? VMB_O_FILE : VMB_O_FINDONLY);
}

// Reads the specification lines from `first` (the line after the empty
// line) to the end of the buffer into the record, then deletes them with the
// empty line. 0 when the specification cannot be used.
int process_language_spec(VMB* b, const char* path, int empty_line, int index, int language) {
    std::string line;
    int last = vm_last_ln(b);
    std::string name;
    uint32_t flags = 0;
    std::string id_start, id_follow, id_surround;
    bool keys = false, ok = true;
    std::vector<std::string> blocks;
    for (int n = empty_line + 1; n <= last && ok; ++n) {
        ReuReadLine(b, n, line);
        if (line.empty()) continue;
        if (std::isdigit(static_cast<unsigned char>(line[0]))) {
            blocks.push_back(line);
            continue;
        }
        size_t tab = line.find('\t');
        std::string key = line.substr(0, tab);
        std::string value = tab == std::string::npos ? std::string() : line.substr(tab + 1);
        keys = true;
        if (StrEqualNoCase(key.c_str(), "Version")) {
            if (ReuParseInt(value) < kSpecVersion) {
                MsgOutId(QW_MSG_BOX, IDS_DICT_BAD_VERSION, path);
                ok = false;
            }
        } else if (StrEqualNoCase(key.c_str(), "Name")) {
            name = value.substr(0, LANG_NAME_SIZE - 1);
        } else if (StrEqualNoCase(key.c_str(), "Case Sensitive")) {
            if (ReuParseInt(value) == 1) flags |= LANG_F_CASE;
        } else if (StrEqualNoCase(key.c_str(), "ID Start")) {
            id_start = value;
        } else if (StrEqualNoCase(key.c_str(), "ID Follow")) {
            id_follow = value;
        } else if (StrEqualNoCase(key.c_str(), "ID Surround")) {
            id_surround = value;
        } else if (StrEqualNoCase(key.c_str(), "ID Style")) {
            flags |= static_cast<uint32_t>(ReuParseInt(value));
        }
    }
    vm_delete_lines(b, empty_line, last - empty_line + 1, 0);
    if (!ok) return 0;
    if (keys) {
        if (language != LANG_COMMANDS) {
            for (int i = 0; i <= GetLanguageSpecCount(); ++i) {
                const CLanguageSpec* other = FindLanguageSpec(i);
                if (i != index && other && other->language == language &&
                    !(other->flags & LANG_F_DEFAULTS) && other->bucket_count) {
                    MsgOut(QW_MSG_BOX | QW_MSG_LOG,
                           "In process_language_spec() ntLangID: %d, LangSpecInfo: %x", language,
                           other->flags);
                    break;
                }
            }
        }
        SetLanguageSpecFields(index, name.c_str(), flags, id_start.c_str(), id_follow.c_str(),
                              id_surround.c_str());
        SetLanguageFlags(0, index, LANG_F_DEFAULTS);
    }
    SetLanguageDelimiter(0, index, 0, 0, 0, 0, nullptr, nullptr);
    for (const std::string& block : blocks) {
        std::vector<std::string> f;
        size_t start = 0;
        for (;;) {
            size_t tab = block.find('\t', start);
            f.push_back(block.substr(start, tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        f.resize(7);
        SetLanguageDelimiter(1, index, ReuParseInt(f[0]) - 1, static_cast<uint32_t>(ReuParseInt(f[1])),
                             ReuParseInt(f[2]), ReuParseInt(f[4]), f[5].c_str(), f[6].c_str());
    }
    return keys || !blocks.empty() ? 1 : -1;
}

// Appends a compiled file to "Dicts" and parses its specification. 1 on
// success, 0 when the file is missing or too short.
int load_compiled(const char* compiled, int index, int language) {
    CLanguageSpec* s = FindLanguageSpec(index);
    if (!s) return 0;
    buf_stream* in = buf_stream_open(compiled, "rdn");
    if (!in) return 0;
    VmGuard guard;
    VMB* b = dicts_buffer(true);
    if (!b) {
        buf_stream_close(in);
        return 0;
    }
    int first = vm_last_ln(b);
    std::string line;
    bool ok = true;
    while (ok && read_line(in, line))
        ok = vm_insert_line(b, vm_last_ln(b), line.data(), static_cast<int>(line.size())) != 0;
    buf_stream_close(in);
    int added = vm_last_ln(b) - first;
    if (!ok || added < DICT_BUCKETS) {
        if (added > 0) vm_delete_lines(b, first + 1, added, 0);
        return 0;
    }
    s->dict_first_line = static_cast<uint32_t>(first);
    s->bucket_count = DICT_BUCKETS;
    int empty = 0;
    for (int n = first + DICT_BUCKETS + 1; n <= vm_last_ln(b) && !empty; ++n)
        if (vm_line_length(b, n) == 0) empty = n;
    int spec = empty ? process_language_spec(b, compiled, empty, index, language) : -1;
    s->dict_line_count = static_cast<uint32_t>(vm_last_ln(b) - first);
    // A dictionary that names no specification runs on the language's defaults.
    if (spec <= 0) ApplyLanguageDefault(index, language);
    return 1;
}

struct CompileState {
    const char* source;
    bool case_sensitive = false;
    bool forth = false;
    std::vector<std::string> buckets = std::vector<std::string>(DICT_BUCKETS);
    std::vector<std::string> templates;
    std::vector<std::string> spec;      // key TAB value lines
    std::vector<std::string> blocks;    // delimiter lines
    std::vector<std::string> block;     // the block being read: 7 fields
    bool block_bad = false;
    int words = 0;
    int errors = 0;
    bool fatal = false;

    void error(int line, unsigned id, const char* detail = nullptr) {
        report_line(source, line, id, detail);
        ++errors;
    }
    void add_word(char letter, const std::string& text) {
        size_t key_len = letter == 'c' ? text.find(' ') : text.size();
        std::string word = letter == 'c' || case_sensitive ? text : lower_copy(text.data(), text.size());
        // Lookups hash the word as they compare it: lower-cased unless case matters.
        std::string key = case_sensitive ? text.substr(0, key_len) : lower_copy(text.data(), key_len);
        std::string& bucket = buckets[LangDictHash(key.c_str()) % DICT_BUCKETS];
        if (!bucket.empty()) bucket.push_back('\t');
        bucket.push_back(letter);
        bucket += word;
        ++words;
    }
    void end_block() {
        if (block_bad) block.clear();
        block_bad = false;
        if (block.empty()) return;
        std::string line;
        for (size_t i = 0; i < block.size(); ++i) {
            if (i) line.push_back('\t');
            line += block[i];
        }
        blocks.push_back(line);
        block.clear();
    }
    void spec_line(int n, const std::string& text) {
        size_t eq = text.find('=');
        if (eq == std::string::npos) {
            error(n, IDS_DICT_BAD_SPEC);
            return;
        }
        std::string key = text.substr(0, eq);
        while (!key.empty() && is_blank(key.back())) key.pop_back();
        std::string value = text.substr(eq + 1);
        static const char* const keys[] = {"Version", "Name", "Base Name", "Case Sensitive",
                                           "ID Start", "ID Follow", "ID Surround", "ID Style",
                                           "ID Spare"};
        // Delimiter block fields: Style, Column Start, Column End, Token, Open, Close.
        static const char* const fields[] = {"Style", "Column Start", "Column End", "Token",
                                             "Open", "Close"};
        for (const char* k : keys) {
            if (!StrEqualNoCase(key.c_str(), k)) continue;
            size_t limit = StrEqualNoCase(k, "Name") ? LANG_NAME_SIZE - 1
                           : StrEqualNoCase(k, "ID Surround") ? LANG_ID_SURROUND_SIZE - 1
                           : LANG_ID_SET_SIZE - 1;
            if (value.size() > limit) {
                error(n, IDS_DICT_BAD_SPEC, " (value too long)");
                value.resize(limit);
            }
            if (StrEqualNoCase(k, "Case Sensitive")) case_sensitive = ReuParseInt(value) == 1;
            spec.push_back(std::string(k) + "\t" + value);
            return;
        }
        if (StrEqualNoCase(key.c_str(), "Comment")) {
            end_block();
            int id = ReuParseInt(value);
            if (id < 1 || id > LANG_DELIM_FILE) {
                error(n, IDS_DICT_BAD_SPEC);
                fatal = true;
                return;
            }
            block = {std::to_string(id), "0", "-1", "-1", "-1", "", ""};
            return;
        }
        for (size_t i = 0; i < 6; ++i) {
            if (!StrEqualNoCase(key.c_str(), fields[i])) continue;
            if (block.empty()) break;
            if (i >= 4) {
                char decoded[128];
                StrFromCaret(decoded, sizeof decoded, value.c_str());
                if (strlen(decoded) >= LANG_DELIM_TEXT) {
                    // The whole entry goes: half a delimiter would match wrongly.
                    error(n, IDS_DICT_BAD_SPEC, " (delimiter longer than 29 characters)");
                    block_bad = true;
                    return;
                }
            }
            block[i + 1] = value;
            return;
        }
        error(n, IDS_DICT_BAD_SPEC);
    }
};

bool write_compiled(const CompileState& st, const char* compiled) {
    VMB* out = vmb_create_temp();
    if (!out) return false;
    auto put = [&](const std::string& l) {
        return vm_insert_line(out, vm_last_ln(out), l.data(), static_cast<int>(l.size())) != 0;
    };
    bool ok = true;
    for (const std::string& l : st.buckets) ok = ok && put(l);
    for (const std::string& l : st.templates) ok = ok && put(l);
    ok = ok && put("");
    for (const std::string& l : st.spec) ok = ok && put(l);
    for (const std::string& l : st.blocks) ok = ok && put(l);
    uint32_t result = ok ? vmb_save(compiled, nullptr, nullptr, out, 1, 0, -1, -1,
                                    VMB_SAVE_ALL | VMB_SAVE_NO_BACKUP | VMB_SAVE_FORCE)
                         : VMB_SR_LINE;
    vmb_close(out, 0);
    if (result & VMB_SR_FAILURES) {
        MsgOutId(QW_MSG_BOX, IDS_SAVE_FAILED, compiled);
        return false;
    }
    return true;
}

std::string master_path(int language) {
    if (g_master_folder.empty() || language < 0 || language >= LANG_COUNT) return std::string();
    char path[QW_PATH_BUF];
    std::string name = std::string(kDictionaryNames[language]) + ".xxx";
    return PathJoin(path, g_master_folder.c_str(), name.c_str()) ? std::string(path) : std::string();
}

// The language's further dictionaries: "<name>-<anything>.<extension>" beside it.
std::vector<std::string> further_dictionaries(const char* path, int language) {
    std::vector<std::string> found;
    char dir[QW_PATH_BUF];
    if (!PathDirectory(dir, path)) return found;
    std::string prefix = std::string(kDictionaryNames[language]) + "-";
    const char* ext = PathExtension(path);
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(dir[0] ? dir : ".", ec)) {
        std::string name = entry.path().filename().string();
        if (name.size() <= prefix.size() || StrCmpNoCaseN(name.c_str(), prefix.c_str(), prefix.size()) != 0)
            continue;
        const char* e = PathExtension(name.c_str());
        if (ext ? !(e && StrEqualNoCase(e, ext)) : e != nullptr) continue;
        std::string full = entry.path().string();
        if (full.size() <= QW_PATH_MAX) found.push_back(full);
    }
    std::sort(found.begin(), found.end());
    return found;
}

// The record's section lines: [first, first + count] of "Dicts".
struct Section {
    VMB* b = nullptr;
    const CLanguageSpec* s = nullptr;
    int first = 0;
    int templates = 0;     // first template line
    int last = 0;
};

bool section_of(int index, Section& sec) {
    sec.s = FindLanguageSpec(index);
    if (!sec.s || !sec.s->bucket_count) return false;
    sec.b = dicts_buffer(false);
    if (!sec.b) return false;
    sec.first = static_cast<int>(sec.s->dict_first_line);
    sec.templates = sec.first + static_cast<int>(sec.s->bucket_count) + 1;
    sec.last = sec.first + static_cast<int>(sec.s->dict_line_count);
    return true;
}

}  // namespace

unsigned LangDictHash(const char* word, int length) {
    uint16_t h = 0;
    if (!word) return 0;
    size_t n = length < 0 ? strlen(word) : static_cast<size_t>(length);
    for (size_t i = 0; i < n; ++i) {
        int c = static_cast<signed char>(word[i]);
        h = static_cast<uint16_t>(c + 4 * h);
        if (h & 0xC000) {
            int s = static_cast<int16_t>(h & 0xC000) >> 12;
            h = static_cast<uint16_t>((h ^ s) & 0x3FFF);
        }
    }
    return h;
}

void SetLanguageDictionaryFolders(const char* master_folder, const char* user_extension) {
    g_master_folder = master_folder ? master_folder : "";
    g_user_extension = user_extension ? user_extension : "";
}

int GetLanguageDictionaryPath(char* out, int id) {
    if (!out) return 0;
    out[0] = '\0';
    if (id < 0 || id >= LANG_COUNT) return 0;
    std::string name = kDictionaryNames[id];
    if (!g_user_extension.empty()) name += "." + g_user_extension;
    return GetConfigFilePath(out, name.c_str(), 1) ? 1 : 0;
}

int GetCompiledDictionaryPath(char* out, const char* source) {
    if (!out || !source || strlen(source) > QW_PATH_MAX) return 0;
    strcpy(out, source);
    char* under = strchr(PathFileName(out), '_');
    if (!under) return 0;
    *under = '$';
    return 1;
}

void SetLangDictHooks(const LangDictHooks* hooks) { g_hooks = hooks ? *hooks : LangDictHooks{}; }

VMB* GetDictsBuffer() { return dicts_buffer(false); }

void ApplyLanguageDefault(int index, int language) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    if (!s || (s->flags & LANG_F_DEFAULTS) || language == LANG_COMMANDS) return;
    SetLanguageFlags(1, index, LANG_F_DEFAULTS);
    SetLanguageSpecLanguage(index, -1, "");
    if (g_hooks.language_default) g_hooks.language_default(index);
}

int CompileDictionary(const char* source, const char* compiled, int buckets, int index,
                      int language) {
    if (!source || !compiled || buckets != DICT_BUCKETS) return 0;
    int error = 0;
    buf_stream* in = buf_stream_create(source, BS_READ | BS_SHARE_DENY_WRITE, &error);
    if (!in) {
        if (QwGetShellOutlets().output_print)
            MsgOutId(QW_MSG_OUTPUT, error == QW_ERR_FILE_NOT_FOUND ? IDS_DICT_MISSING : IDS_DICT_UNOPENABLE,
                     source);
        return 0;
    }
    ApplyLanguageDefault(index, language);
    MsgOutId(QW_MSG_STATUS, IDS_DICT_UPDATING);
    MsgOut(kErrorFlags, nullptr);

    CompileState st;
    st.source = source;
    st.forth = language == LANG_FORTH;
    st.case_sensitive = IsLanguageFlag1(index) != 0;
    char group = 0;
    std::string raw;
    for (int n = 1; !st.fatal && read_line(in, raw); ++n) {
        size_t lead = 0;
        while (lead < raw.size() && is_blank(raw[lead])) ++lead;
        std::string text = raw.substr(lead);
        if (text.empty()) continue;
        if (text[0] == ';' && !(st.forth && text == ";" && group && group != 't')) continue;
        if (text[0] == '[' && text.size() > 2 && text.back() == ']') {
            char g = group_letter(text.substr(1, text.size() - 2));
            if (g) {
                st.end_block();
                group = g;
                continue;
            }
            if (!st.forth) {
                st.error(n, IDS_DICT_BAD_GROUP);
                continue;
            }
        }
        switch (group) {
        case 0:
            st.error(n, IDS_DICT_BAD_GROUP);
            break;
        case 't': {
            size_t tab = text.find('\t');
            if (tab == std::string::npos || tab == 0) {
                st.error(n, IDS_DICT_NO_EXPANSION);
                st.fatal = true;
                break;
            }
            size_t end = text.size();
            while (end > tab + 1 && is_blank(text[end - 1])) --end;
            std::string line = "t" + text.substr(0, end);
            if (end < text.size()) line.push_back(' ');
            st.templates.push_back(line);
            break;
        }
        case 'l':
            st.spec_line(n, text);
            break;
        case 'c':
            if (text.find(' ') == std::string::npos || text[0] == ' ')
                st.error(n, IDS_DICT_BAD_COMMAND);
            else
                st.add_word('c', text);
            break;
        default:
            // A CR is trimmed with the blanks: a word ending in one would lose it
            // when the compiled line is read back, and never be found.
            while (!text.empty() && (is_blank(text.back()) || text.back() == '\r')) text.pop_back();
            if (text.empty())
                break;
            if (text.size() > DICT_WORD_MAX)
                st.error(n, IDS_DICT_BAD_GROUP, " (word longer than 150 characters)");
            else
                st.add_word(group, text);
            break;
        }
    }
    st.end_block();
    buf_stream_close(in);
    bool ok = false;
    if (!st.fatal) {
        if (st.words == 0 && st.spec.empty() && st.blocks.empty())
            FileDelete(compiled);
        else
            ok = write_compiled(st, compiled);
    }
    if (st.errors && g_hooks.errors_listed) g_hooks.errors_listed();
    return ok ? 1 : 0;
}

int LoadDictionaryFile(const char* path, int index, int language) {
    CLanguageSpec* s = FindLanguageSpec(index);
    if (!s || !path) return 0;
    if (s->bucket_count) return 1;
    char compiled[QW_PATH_BUF];
    int ok = 0;
    if (GetCompiledDictionaryPath(compiled, path)) {
        int age = FileCompareTimes(compiled, path);
        ok = (age == 0 || age == 1 || age == -3) && FileExists(compiled) && load_compiled(compiled, index, language);
        if (!ok && CompileDictionary(path, compiled, DICT_BUCKETS, index, language))
            ok = load_compiled(compiled, index, language);
    }
    if (!ok) ApplyLanguageDefault(index, language);
    if (!s->code_templates && g_hooks.template_tree) s->code_templates = g_hooks.template_tree(language, index);
    return ok;
}

int LoadLanguageDictionary(int language) {
    std::lock_guard<std::recursive_mutex> lock(g_load_mutex);
    char path[QW_PATH_BUF];
    if (!GetLanguageDictionaryPath(path, language)) return 0;
    if (!FileExists(path)) {
        std::string master = master_path(language);
        if (!master.empty() && FileExists(master.c_str())) {
            std::error_code ec;
            if (std::filesystem::copy_file(master, path, ec)) {
                MsgOut(QW_MSG_OUTPUT, "Copied master language dictionary: %s to %s", master.c_str(), path);
                if (g_hooks.master_copied) g_hooks.master_copied(language);
            } else {
                MsgOut(QW_MSG_OUTPUT | QW_MSG_LOG, "Unable to copy master language dictionary: %s to %s",
                       master.c_str(), path);
            }
        }
    }
    if (FileExists(path) && !IsDictionaryFileKnown(path)) AddLanguageSpec(language, path);
    for (const std::string& further : further_dictionaries(path, language))
        if (!IsDictionaryFileKnown(further.c_str())) AddLanguageSpec(language, further.c_str());
    int loaded = 0;
    for (int i = 0; i <= GetLanguageSpecCount(); ++i) {
        const CLanguageSpec* s = FindLanguageSpec(i);
        if (!s || s->language != language || (s->flags & LANG_F_DEFAULTS) || s->dictionary_file.empty())
            continue;
        loaded += LoadDictionaryFile(s->dictionary_file.c_str(), i, language);
    }
    return loaded;
}

int FindOrLoadLanguageSpec(int* index, int language, const char* lang_name, const char* spec_name) {
    std::lock_guard<std::recursive_mutex> lock(g_load_mutex);
    if (index) *index = -1;
    if (lang_name) language = FindLanguageByName(lang_name);
    if (language < 0 || language >= LANG_COUNT) return 0;
    int i = FindLanguageSpecIndex(language, nullptr, spec_name);
    if (i < 0) {
        LoadLanguageDictionary(language);
        i = FindLanguageSpecIndex(language, nullptr, spec_name);
        if (i >= 0 && HasLanguageSpecDictionaryFile(i) != 1) i = -1;
        if (i < 0 && !(spec_name && spec_name[0]) && language != LANG_COMMANDS) {
            i = AddLanguageSpec(language, nullptr);
            if (i >= 0) ApplyLanguageDefault(i, language);
        }
    }
    if (i < 0) return 0;
    if (index) *index = i;
    return 1;
}

void ResetLanguageData(unsigned flags) {
    if (flags & 0x1) {
        if (g_hooks.browser_builds) g_hooks.browser_builds(0);
        if (g_hooks.style_sheets) g_hooks.style_sheets(0x1);
        {
            std::lock_guard<std::recursive_mutex> lock(g_load_mutex);
            VmGuard guard;
            if (VMB* b = dicts_buffer(false)) vmb_close(b, 0);
            FreeLanguageSpecs();
        }
    }
    if ((flags & 0x2) && g_hooks.style_sheets) g_hooks.style_sheets(0x2);
    if (flags & 0x4) {
        int index;
        FindOrLoadLanguageSpec(&index, LANG_NONE, nullptr, nullptr);
    }
    if ((flags & 0x3) && g_hooks.documents_reapply) g_hooks.documents_reapply();
    if ((flags & 0x1) && g_hooks.browser_builds) g_hooks.browser_builds(1);
}

int LookupLanguageKeywordN(const char* word, int length, int index, int cls, char* text_out,
                           int text_size) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    if (!s) return 0;
    // A word longer than any stored one cannot be there.
    if (!word || length <= 0 || length > DICT_LINE_MAX) return TOKEN_NOT_FOUND;
    VmGuard guard;
    Section sec;
    if (!section_of(index, sec)) return TOKEN_NOT_FOUND;
    bool cs = s->flags & LANG_F_CASE;
    char key_buf[DICT_LINE_MAX + 1];
    for (int i = 0; i < length; ++i)
        key_buf[i] = cs ? word[i] : static_cast<char>(CharToLower(static_cast<unsigned char>(word[i])));
    key_buf[length] = '\0';
    std::string_view key(key_buf, static_cast<size_t>(length));
    char want = class_letter(cls);
    // The painter looks words up one after another: keep the line's storage.
    thread_local std::string line;
    ReuReadLine(sec.b, sec.first + 1 + static_cast<int>(LangDictHash(key_buf, length) % DICT_BUCKETS), line);
    size_t pos = 0;
    while (pos < line.size()) {
        size_t end = line.find('\t', pos);
        if (end == std::string::npos) end = line.size();
        char letter = line[pos];
        const char* stored = line.data() + pos + 1;
        size_t stored_len = end - pos - 1;
        bool class_ok = !want || letter == want || (want == 'K' && letter == 'c');
        if (class_ok && stored_len >= key.size()) {
            bool same = true;
            for (size_t i = 0; i < key.size() && same; ++i) {
                int c = static_cast<unsigned char>(stored[i]);
                if (!cs) c = CharToLower(c);
                same = c == static_cast<unsigned char>(key[i]);
            }
            if (same && letter == 'c' && stored_len > key.size() && stored[key.size()] == ' ') {
                if (text_out && text_size > 0)
                    CopyStringBounded(text_out, std::string(stored + key.size() + 1, stored_len - key.size() - 1).c_str(),
                                      static_cast<size_t>(text_size - 1));
                return TOKEN_KEYWORD;
            }
            if (same && letter != 'c' && stored_len == key.size()) {
                if (text_out && text_size > 0)
                    CopyStringBounded(text_out, std::string(stored, stored_len).c_str(), static_cast<size_t>(text_size - 1));
                return class_token(letter);
            }
        }
        pos = end + 1;
    }
    return TOKEN_NOT_FOUND;
}

int LookupLanguageKeyword(char* word, int index, int cls, char* text_out, int text_size) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    if (!s) return 0;
    if (word && !(s->flags & LANG_F_CASE)) StrToLower(word);
    return LookupLanguageKeywordN(word, word ? static_cast<int>(strlen(word)) : 0, index, cls, text_out,
                                  text_size);
}

int ListKeywordMatches(int index, char* prefix, int prefix_size, int cls, const char* list_name) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    if (!s || !prefix) return -1;
    VmGuard guard;
    Section sec;
    if (!section_of(index, sec)) return -1;
    bool cs = s->flags & LANG_F_CASE;
    std::string key = cs ? std::string(prefix) : lower_copy(prefix, strlen(prefix));
    VMB* list = nullptr;
    if (cls != -1) {
        list = vmb_open(VMB_T_TEMP, list_name ? list_name : "DispList", VMB_O_FILE | VMB_O_EMPTY);
        if (!list) return -1;
    }
    char want = cls == -1 ? 0 : class_letter(cls);
    std::string line;
    for (int n = sec.first + 1; n < sec.templates; ++n) {
        ReuReadLine(sec.b, n, line);
        size_t pos = 0;
        while (pos < line.size()) {
            size_t end = line.find('\t', pos);
            if (end == std::string::npos) end = line.size();
            char letter = line[pos];
            std::string word = line.substr(pos + 1, end - pos - 1);
            if (letter == 'c') word = word.substr(0, word.find(' '));
            pos = end + 1;
            if (want && letter != want) continue;
            if (word.size() < key.size()) continue;
            std::string head = cs ? word.substr(0, key.size()) : lower_copy(word.data(), key.size());
            if (head != key) continue;
            if (cls == -1) {
                CopyStringBounded(prefix, word.c_str(), static_cast<size_t>(prefix_size > 0 ? prefix_size - 1 : 0));
                return 1;
            }
            std::string entry = word + "\t" + std::to_string(class_token(letter));
            vm_insert_sorted(list, entry.c_str(), cs ? 262u : 263u);
        }
    }
    return cls == -1 ? 0 : vm_last_ln(list);
}

int FindTemplate(int index, char* line_out, int size, const char* abbrev, int mode) {
    const CLanguageSpec* s = FindLanguageSpec(index);
    if (!s || !abbrev) return -1;
    VmGuard guard;
    Section sec;
    if (!section_of(index, sec)) return -1;
    bool cs = s->flags & LANG_F_CASE;
    size_t len = strlen(abbrev);
    bool ends_blank = len && is_blank(abbrev[len - 1]);
    int prefix_hit = -1;
    std::string prefix_line, line;
    for (int n = sec.templates; n <= sec.last; ++n) {
        ReuReadLine(sec.b, n, line);
        if (line.empty() || line[0] != 't') continue;
        std::string body = line.substr(1);
        std::string ab = body.substr(0, body.find('\t'));
        int number = n - sec.templates + 1;
        bool equal = cs ? ab == abbrev : StrEqualNoCase(ab.c_str(), abbrev);
        if (equal) {
            if (line_out && size > 0) CopyStringBounded(line_out, body.c_str(), static_cast<size_t>(size - 1));
            return number;
        }
        bool begins = ab.size() > len && (cs ? ab.compare(0, len, abbrev) == 0
                                              : StrCmpNoCaseN(ab.c_str(), abbrev, len) == 0);
        if (begins && prefix_hit < 0 && !((mode & 32) && ends_blank)) {
            prefix_hit = number;
            prefix_line = body;
        }
    }
    if (prefix_hit > 0 && line_out && size > 0)
        CopyStringBounded(line_out, prefix_line.c_str(), static_cast<size_t>(size - 1));
    return prefix_hit;
}

int GetLanguageDictionaryLine(int index, int n, char* out, int size) {
    if (out && size > 0) out[0] = '\0';
    VmGuard guard;
    Section sec;
    if (!section_of(index, sec) || n < 1 || sec.templates + n - 1 > sec.last) return 0;
    std::string line;
    ReuReadLine(sec.b, sec.templates + n - 1, line);
    if (out && size > 0) CopyStringBounded(out, line.c_str() + (line.empty() ? 0 : 1), static_cast<size_t>(size - 1));
    return 1;
}

int ListLanguageSkeletons(int index, VMB* list) {
    if (!vmb_in_use(list)) return 0;
    VmGuard guard;
    vm_clear(list, 0);
    Section sec;
    if (section_of(index, sec)) {
        const std::string skeleton = "Skeleton";
        std::string line;
        for (int n = sec.templates; n <= sec.last; ++n) {
            ReuReadLine(sec.b, n, line);
            std::string ab = line.substr(1, line.find('\t') - 1);
            if (StrCmpNoCaseN(ab.c_str(), skeleton.c_str(), skeleton.size()) == 0) continue;
            vm_insert_line(list, vm_last_ln(list), ab.data(), static_cast<int>(ab.size()));
        }
    }
    return vm_last_ln(list);
}

int EditLanguageDictionary(int index, int quiet) {
    char name[128];
    FormatLanguageSpecDisplay(name, sizeof name, 0, index);
    if (HasLanguageSpecDictionaryFile(index) != 1) {
        MsgOut(QW_MSG_BOX | QW_MSG_INFO, "Language: '%s' does not currently have a dictionary file.", name);
        return 0;
    }
    const char* path = GetLanguageSpecDictionaryFile(index);
    if (!g_hooks.open_file || !g_hooks.open_file(path)) {
        MsgOutId(QW_MSG_BOX, IDS_EDIT_OPEN_FAILED, path, name);
        return 0;
    }
    if (!quiet) {
        std::string caption = app_text(IDS_EDIT_CAPTION);
        char cap[256];
        str_printf(cap, sizeof cap, caption.c_str(), name);
        MsgOut(QW_MSG_BOX | QW_MSG_INFO | QW_MSG_CAPTION | QW_MSG_ID, cap, IDS_EDIT_TEXT);
    }
    return 1;
}
