#pragma once
// The editor's "File History": files the user worked with, most recent
// first, each line "path <TAB> text <TAB> data" (paths compared without
// regard to case).
struct VMB;

int FileHistory_Add(const char* path, const char* text, const char* data);
// The line (from 1) of the file's entry, or 0; *text (1025 bytes) and *data
// (a new allocation the caller frees with delete[]) when asked.
int FileHistory_Find(char* text, char** data, const char* path);
// One entry's fields; 0 when the line does not exist.
int FileHistory_Get(char* path, char* text, int text_size, char** data, int line);
// Appends an entry as the last line (null path: empties the list).
int FileHistory_Append(const char* path, const char* text, const char* data);
VMB* FileHistory_Buffer();
