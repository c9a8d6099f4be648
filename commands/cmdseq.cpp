// Reading command lists from their text form.
#include "commands/cmdseq.h"

#include <cctype>

#include "commands/cmdtable.h"

namespace {

bool starts_nocase(const char* s, const char* prefix) {
    for (; *prefix; ++s, ++prefix)
        if (std::tolower(static_cast<unsigned char>(*s)) != *prefix)
            return false;
    return true;
}

} // namespace

int ParseKeyCommandList(std::vector<int32_t>* out, const char* text, std::string* error) {
    std::vector<int32_t> seq;
    bool failed = false, quoted = false, param_open = false;
    // True right after an item's opening quote: only there does "param="
    // open a parameter text, so typed text "param=" stays typed text.
    bool item_start = true, after_item_quote = false;
    const char* p = text ? text : "";
    while (*p) {
        char c = *p;
        if (!quoted && (c == ' ' || c == '\t'))
            break;
        if (!quoted && p[0] == 'K' && p[1] == '_') {
            const char* end = p;
            while (*end && *end != ' ' && *end != '\t' && *end != ',')
                ++end;
            std::string name(p, size_t(end - p));
            int id = K_cmd_id_from_name(name.c_str());
            if (id < 0) {
                if (error && !failed)
                    *error = std::string("EUnknown K_xx command: ") + p;
                failed = true;
            } else {
                seq.push_back(id);
            }
            p = end;
            item_start = after_item_quote = false;
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
            after_item_quote = quoted && item_start;
            item_start = false;
            ++p;
            continue;
        }
        if (quoted && after_item_quote && !param_open && starts_nocase(p, "param=")) {
            seq.push_back(K_SEQ_PARAM_OPEN);
            param_open = true;
            after_item_quote = false;
            p += 6;
            continue;
        }
        after_item_quote = false;
        if (quoted && c == '\\' && p[1] == '"') {
            seq.push_back('"');
            p += 2;
            continue;
        }
        if (!quoted && c == '\\' && p[1]) {
            seq.push_back(static_cast<unsigned char>(p[1]));
            item_start = false;
            p += 2;
            continue;
        }
        if (!quoted && c == ',') {
            if (param_open) {
                seq.push_back(K_SEQ_PARAM_CLOSE);
                param_open = false;
            }
            item_start = true;
            ++p;
            continue;
        }
        // Characters are kept as their unsigned codes: a signed code of 0xFF,
        // 0xFD or 0xFC would read as the end or a parameter marker.
        seq.push_back(static_cast<unsigned char>(c));
        item_start = false;
        ++p;
    }
    if (param_open)
        seq.push_back(K_SEQ_PARAM_CLOSE);
    int count = static_cast<int>(seq.size());
    seq.push_back(K_SEQ_END);
    if (out)
        *out = std::move(seq);
    return failed ? -1 : count;
}

int K_cmd_seq_command_count(const int32_t* seq) {
    int n = 0;
    for (; seq && *seq != K_SEQ_END; ++seq)
        if (is_setting_id(*seq))
            ++n;
    return n;
}
