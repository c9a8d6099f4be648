#include "commands/cmdseq.h"

#include <cctype>
#include <cstring>

#include "commands/cmdtable.h"

namespace {

bool StartsNoCase(const char* s, const char* prefix) {
    for (; *prefix; ++s, ++prefix)
        if (std::tolower(static_cast<unsigned char>(*s)) != *prefix) return false;
    return true;
}

} // namespace

int ParseKeyCommandList(std::vector<int32_t>* out, const char* text, std::string* error) {
    std::vector<int32_t> seq;
    bool failed = false, quoted = false, param_open = false;
    const char* p = text ? text : "";
    while (*p) {
        char c = *p;
        if (!quoted && (c == ' ' || c == '\t')) break;
        if (!quoted && p[0] == 'K' && p[1] == '_') {
            const char* end = p;
            while (*end && *end != ' ' && *end != '\t' && *end != ',') ++end;
            std::string name(p, size_t(end - p));
            int id = K_cmd_id_from_name(name.c_str());
            if (id < 0) {
                if (error && !failed) *error = std::string("EUnknown K_xx command: ") + p;
                failed = true;
            } else {
                seq.push_back(id);
            }
            p = end;
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
            ++p;
            continue;
        }
        if (c == '\\' && p[1] == '"') {
            seq.push_back('"');
            p += 2;
            continue;
        }
        if (!quoted && c == '\\' && p[1]) {
            seq.push_back(static_cast<signed char>(p[1]));
            p += 2;
            continue;
        }
        if (!quoted && c == ',') {
            if (param_open) {
                seq.push_back(K_SEQ_PARAM_CLOSE);
                param_open = false;
            }
            ++p;
            continue;
        }
        if (!param_open && StartsNoCase(p, "param=")) {
            seq.push_back(K_SEQ_PARAM_OPEN);
            param_open = true;
            p += 6;
            continue;
        }
        seq.push_back(static_cast<signed char>(c));
        ++p;
    }
    if (param_open) seq.push_back(K_SEQ_PARAM_CLOSE);
    int count = static_cast<int>(seq.size());
    seq.push_back(K_SEQ_END);
    if (out) *out = std::move(seq);
    return failed ? -1 : count;
}

int K_cmd_seq_command_count(const int32_t* seq) {
    int n = 0;
    for (; seq && *seq != K_SEQ_END; ++seq)
        if (is_setting_id(*seq)) ++n;
    return n;
}
