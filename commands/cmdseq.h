#pragma once
// Command lists as menus, key bindings and recorded macros write them:
// command names ("K_..."), quoted typed text and "param=" texts, separated
// by commas, e.g.  K_LineStart,"ab",K_Find,"param=x"
#include <cstdint>
#include <string>
#include <vector>

enum : int32_t {
    K_SEQ_END = -1,
    K_SEQ_PARAM_OPEN = -3,
    K_SEQ_PARAM_CLOSE = -4,
};

// Reads `text` into identifiers (command ids, typed characters as their
// signed codes, -3/-4 around a parameter text), -1-terminated, into `out`
// when given. Returns the number of identifiers before the terminator, or
// -1 when a command name was unknown (parsing goes on; `error` then holds
// "EUnknown K_xx command: <rest of text>", its first letter the severity).
int ParseKeyCommandList(std::vector<int32_t>* out, const char* text, std::string* error);

// The number of commands (ids 300-999) in a parsed sequence.
int K_cmd_seq_command_count(const int32_t* seq);
