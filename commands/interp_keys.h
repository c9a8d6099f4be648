#pragma once
// The services behind "Key_Translate": key names, key texts and the
// keyboard-definition file. The program calls them through its request
// record (methods KeyReq_*); the binding table itself belongs to the key
// bindings, reached through the hooks below.
//
// Key text: keys separated by blanks; a key is "Ctrl+", "Shift+", "Alt+" in
// any order and case, then a name ("Left", "F5", "PgDn", "A", "Gray+",
// "MouseRight", ...). A single printable character without a modifier is a
// typed character.
//
// Key bytes: a typed character is its character; any other key is its
// modifier state (1 Ctrl, 2 Shift, 4 Alt, 8 mouse) followed by its
// virtual-key code.
//
// Keyboard definition: one binding per line, "key text = commands", the
// commands separated by commas, each a command name or number; lines that
// are empty or begin with ';' are skipped.
#include <cstdint>
#include <string>

// The byte count (at most max, more keys are counted but not stored), or
// -1 when a name is unknown.
int Key_TextToBytes(const char* text, uint8_t* out, int max);
// The text of key bytes; false when they do not form keys.
bool Key_BytesToText(const uint8_t* keys, int count, std::string& out);

// Filled by the key bindings; a null member means the service is not there yet.
struct InterpKeyHooks {
    int (*binding_set)(const uint8_t* keys, int key_count, const int* commands, int command_count,
                       int replace) = nullptr;
    int (*table_push)(int capacity) = nullptr;
    int (*table_pop)(int all) = nullptr;
    // The identifier of a command name, -1 when unknown (null: the command
    // dictionary).
    int (*command_id)(const char* name) = nullptr;
    // The keyboard-definition file to read (empty: none). Null: the master
    // "Keyboard.xxx" in the "CONFIG" folder beside the program.
    std::string (*keyboard_file)() = nullptr;
};
void Interp_SetKeyHooks(const InterpKeyHooks* hooks);
InterpKeyHooks Interp_GetKeyHooks();

// Reads a keyboard definition and sets its bindings (replacing); the number
// set, -1 when the file cannot be read. Bad lines are reported with the
// file's name and the line number and skipped.
int Key_LoadDefinition(const char* path);
