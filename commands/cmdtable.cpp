// The command table, its names and categories, handler attachment and the
// K_cmd_params record.
#include "commands/cmdtable.h"

#include <atomic>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "commands/cmdvalues.h"
#include "opsys/msgout.h"
#include "opsys/strlib.h"

namespace {

struct K_cmd_text {
    const char* name;          // may begin with a tab; null without an entry
    const char* description;
};

struct K_cmd_category_info {
    int first;
    const char* name;
};

std::atomic<K_cmd_fn> g_slots[64];

} // namespace

// The generated data: the table, its texts, categories and function slots.
#include "commands/cmdtable_data.inc"

static_assert(sizeof(K_cmd_table) / sizeof(K_cmd_table[0]) == K_CMD_COUNT);
static_assert(QW_CMD_SLOT_COUNT <= sizeof(g_slots) / sizeof(g_slots[0]));

namespace {

constexpr uint32_t kTitleBits = K_ATTR_TITLE | K_ATTR_TITLE_FLAG0;
constexpr int kCategoryCount = int(sizeof(k_categories) / sizeof(k_categories[0]));

std::atomic<K_cmd_dict_lookup_fn> g_dict_lookup{nullptr};

// Handler changes and owned titles are guarded, so that a program thread
// that sets a title does not race the UI thread attaching a view method.
std::mutex g_handler_mutex;

const K_cmd_text* text_of(int id) {
    if (id < K_CMD_FIRST || id > K_CMD_LAST) return nullptr;
    const K_cmd_text* t = &k_cmd_text[id - K_CMD_FIRST];
    return t->name ? t : nullptr;
}

char* copy_out(char* buffer, const char* text) {
    if (!buffer) return nullptr;
    buffer[0] = '\0';
    if (!text) return nullptr;
    CopyStringBounded(buffer, text, K_CMD_NAME_BUF - 1);
    return buffer;
}

// Clears the handler kind of a record before a new handler goes in.
void clear_handler_kind(K_cmd_record* r) {
    if (r->attr & kTitleBits) {
        if ((r->attr & K_ATTR_TITLE_OWNED) && r->handler.title &&
            r->handler.fn != &K_cmd_placeholder)
            std::free(const_cast<char*>(r->handler.title));
        r->attr &= ~(kTitleBits | K_ATTR_TITLE_OWNED);
    } else {
        r->attr &= ~(K_ATTR_VIEW_METHOD | K_ATTR_VIEW_NOARGS);
    }
}

} // namespace

K_cmd_record* K_cmd_lookup(int id) {
    if (id < K_CMD_FIRST || id > K_CMD_LAST) return nullptr;
    return &K_cmd_table[id - K_CMD_FIRST];
}

uint32_t K_cmd_get_flags(int id) {
    const K_cmd_record* r = K_cmd_lookup(id);
    return r ? r->attr : 0;
}

bool K_cmd_is_checkable(int id) { return (K_cmd_get_flags(id) & K_ATTR_CHECKABLE) != 0; }

char* K_cmd_get_name(char* buffer, int id) {
    const K_cmd_text* t = text_of(id);
    return copy_out(buffer, t ? t->name : nullptr);
}

char* K_cmd_get_description(char* buffer, int id) {
    const K_cmd_text* t = text_of(id);
    return copy_out(buffer, t ? t->description : nullptr);
}

K_cmd_dict_lookup_fn K_cmd_set_dictionary_lookup(K_cmd_dict_lookup_fn fn) {
    return g_dict_lookup.exchange(fn);
}

int K_cmd_id_from_name(const char* name) {
    K_cmd_dict_lookup_fn lookup = g_dict_lookup.load();
    if (!name || !*name || !lookup) return -1;
    char word[K_CMD_NAME_MAX + 1];
    CopyStringBounded(word, name, K_CMD_NAME_MAX);
    char text[32] = "";
    if (lookup(word, text, int(sizeof text)) != 1) return -1;
    const char* p = StrSkipBlanks(text);
    if (!isdigit(static_cast<unsigned char>(*p))) return -1;
    char* end = nullptr;
    long long v = std::strtoll(p, &end, 10);
    if (v < 0 || v > 0x7FFFFFFF) return -1;
    return int(v);
}

int K_cmd_set_handler(int id, K_cmd_fn fn) {
    K_cmd_record* r = K_cmd_lookup(id);
    if (!r) return 5;
    std::lock_guard<std::mutex> lock(g_handler_mutex);
    clear_handler_kind(r);
    r->handler.fn = fn;
    return 0;
}

int K_cmd_set_view_handler(int id, K_view_fn fn) {
    K_cmd_record* r = K_cmd_lookup(id);
    if (!r) return 5;
    std::lock_guard<std::mutex> lock(g_handler_mutex);
    clear_handler_kind(r);
    r->handler.view = fn;
    r->attr |= K_ATTR_VIEW_METHOD;
    return 0;
}

int K_cmd_set_view_handler_noargs(int id, K_view_noargs_fn fn) {
    K_cmd_record* r = K_cmd_lookup(id);
    if (!r) return 5;
    std::lock_guard<std::mutex> lock(g_handler_mutex);
    clear_handler_kind(r);
    r->handler.view_noargs = fn;
    r->attr |= K_ATTR_VIEW_NOARGS;
    return 0;
}

int K_cmd_set_title(int id, const char* title, int run_flag) {
    K_cmd_record* r = K_cmd_lookup(id);
    if (!r) return 5;
    char* copy = StrMallocCopy(title ? title : "");
    if (!copy) return 5;
    std::lock_guard<std::mutex> lock(g_handler_mutex);
    clear_handler_kind(r);
    r->attr &= ~(K_ATTR_VIEW_METHOD | K_ATTR_VIEW_NOARGS);
    r->handler.title = copy;
    r->attr |= (run_flag ? K_ATTR_TITLE : K_ATTR_TITLE_FLAG0) | K_ATTR_TITLE_OWNED;
    return 0;
}

bool K_cmd_is_implemented(int id) {
    const K_cmd_record* r = K_cmd_lookup(id);
    return !r || r->handler.fn != &K_cmd_placeholder;
}

int K_cmd_placeholder(int id, K_cmd_params*) {
    char name[K_CMD_NAME_BUF];
    if (K_cmd_get_name(name, id))
        MsgOut(QW_MSG_STATUS, "%s is not available in this version", StrSkipBlanks(name));
    return 0;
}

int K_cmd_bind_function(const char* slot, K_cmd_fn fn) {
    if (!slot) return -1;
    for (int i = 0; i < QW_CMD_SLOT_COUNT; ++i) {
        if (std::strcmp(k_slot_names[i], slot) == 0) {
            g_slots[i].store(fn);
            return 0;
        }
    }
    return -1;
}

const char* K_cmd_slot_name(int index) {
    return index >= 0 && index < QW_CMD_SLOT_COUNT ? k_slot_names[index] : nullptr;
}

int K_cmd_call_slot(int slot, int id, K_cmd_params* params) {
    if (slot < 0 || slot >= QW_CMD_SLOT_COUNT) return -2;
    K_cmd_fn fn = g_slots[slot].load();
    return fn ? fn(id, params) : -2;
}

// ---- Categories -----------------------------------------------------------

int K_cmd_category_count() { return kCategoryCount; }

int K_cmd_category_first(int n) {
    return n >= 0 && n < kCategoryCount ? k_categories[n].first : -1;
}

const char* K_cmd_category_name(int n) {
    return n >= 0 && n < kCategoryCount ? k_categories[n].name : nullptr;
}

int K_cmd_category_of(int id) {
    if (!K_cmd_lookup(id)) return -1;
    int n = kCategoryCount - 1;
    while (n > 0 && k_categories[n].first > id) --n;
    return n;
}

int K_cmd_category_commands(int n, int* ids, int max) {
    if (n < 0 || n >= kCategoryCount) return 0;
    int end = n + 1 < kCategoryCount ? k_categories[n + 1].first : K_CMD_LAST + 1;
    int count = 0;
    for (int id = k_categories[n].first; id < end; ++id) {
        const K_cmd_record* r = K_cmd_lookup(id);
        if (!(r->attr & K_ATTR_LISTED) || !K_cmd_is_implemented(id)) continue;
        if (ids && count < max) ids[count] = id;
        ++count;
    }
    return count;
}

// ---- K_cmd_params ---------------------------------------------------------

namespace {

int number_of(const char* text) {
    if (!text || !isdigit(static_cast<unsigned char>(*text))) return -1;
    int64_t v = 0;
    for (const char* p = text; isdigit(static_cast<unsigned char>(*p)); ++p) {
        v = v * 10 + (*p - '0');
        if (v > 0x7FFFFFFF) return 0x7FFFFFFF;
    }
    return int(v);
}

// Takes the text that follows the command in its key sequence, when there is one.
void take_sequence_text(K_cmd_params* p) {
    if (p->text || !p->seq || *p->seq != -3) return;
    const int32_t* s = p->seq + 1;
    int n = 0;
    while (*s != -4 && *s != -1) {
        if (n < K_CMD_SEQ_TEXT_MAX && *s > 0 && *s < 256) p->seq_text[n++] = char(*s);
        ++s;
    }
    p->seq_text[n] = '\0';
    if (*s == -4) ++s;
    p->seq_cursor = s;
    p->text = p->seq_text;
    p->number = number_of(p->text);
}

} // namespace

void K_cmd_params_init(K_cmd_params* p, int kind, int id, const char* text, intptr_t arg,
                       intptr_t extra) {
    if (!p) return;
    p->tag = K_CMD_PARAMS_TAG;
    p->kind = kind;
    p->id = id;
    p->text = text;
    p->arg = arg;
    p->zero = 0;
    p->extra = extra;
    p->minus_one = -1;
    p->number = number_of(text);
    p->seq = nullptr;
    p->seq_cursor = nullptr;
    p->char_flag = 1;
    p->view = nullptr;
    p->seq_text[0] = '\0';
}

bool K_cmd_params_valid(const K_cmd_params* p) { return p && p->tag == K_CMD_PARAMS_TAG; }

const char* K_cmd_params_get_string(K_cmd_params* p) {
    if (!K_cmd_params_valid(p)) return nullptr;
    take_sequence_text(p);
    return p->text && *p->text ? p->text : nullptr;
}

bool K_cmd_params_has_string(K_cmd_params* p) { return K_cmd_params_get_string(p) != nullptr; }

int K_cmd_params_copy_string(K_cmd_params* p, char* buffer, int size) {
    if (!buffer || size <= 0) return 0;
    buffer[0] = '\0';
    const char* t = K_cmd_params_get_string(p);
    if (!t) return 0;
    CopyStringBounded(buffer, t, size_t(size - 1));
    return int(std::strlen(buffer));
}

bool K_cmd_params_get_number(K_cmd_params* p, int* out) {
    int n = -1;
    if (K_cmd_params_valid(p)) {
        take_sequence_text(p);
        n = p->number;
    }
    if (out) *out = n;
    return n != -1;
}

int K_cmd_params_get_onoff(K_cmd_params* p) {
    const char* t = K_cmd_params_get_string(p);
    if (!t) return -1;
    int i = FindInBarList("off|on", t, 1);
    return i < 0 ? 0 : i + 1;
}

bool K_cmd_params_is_on(K_cmd_params* p) { return K_cmd_params_get_onoff(p) == 2; }
bool K_cmd_params_is_macro(const K_cmd_params* p) { return K_cmd_params_valid(p) && p->kind == 8; }
bool K_cmd_params_is_kind0(const K_cmd_params* p) { return K_cmd_params_valid(p) && p->kind == 0; }
intptr_t K_cmd_params_get_arg(const K_cmd_params* p) { return K_cmd_params_valid(p) ? p->arg : 0; }
bool K_cmd_params_in_sequence(const K_cmd_params* p) {
    return K_cmd_params_valid(p) && p->seq != nullptr;
}
