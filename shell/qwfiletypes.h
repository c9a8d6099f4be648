#pragma once
// The editor's own file types (workspaces, projects) in the shell's class
// registry, opened through DDE, and the program's App Paths entry.
#include <windows.h>

// Sets a string under HKEY_CLASSES_ROOT: the key's default value (no value
// name) or a named value, creating the key. 1 on success.
int SetClassesRootValue(const char* key, const char* data, const char* value_name);
int RegisterQWShellFileTypes(const char* description, const char* type_id, const char* extensions,
                             int dde, int icon_index, int new_file);
// Splits the "description|type|extensions[|icon]" string and registers it.
int RegisterFileTypeFromResource(unsigned string_id, int icon_index, const char* extension_override,
                                 int dde, int new_file);
int RegisterAppPath();

// The root under which the classes are written (tests redirect it).
void SetClassesRootForTests(HKEY root);
