#pragma once
// Plain functions over NUL-terminated 8-bit strings in the ANSI code page.
// They never throw. Every function that writes into a caller's array takes
// that array's size in bytes and always terminates the result (nothing is
// written when the size is 0). "Not found" is a null pointer or -1.
// Blank: space or TAB. White space: space, TAB, CR or LF.
#include <cstddef>

// Copies at most n characters of src (dst holds n + 1 bytes); overlap is
// allowed; always terminates. Returns dst.
char* CopyStringBounded(char* dst, const char* src, size_t n);
// Appends src to dst when the joined text fits in size bytes; dst, else null.
char* StrCatAlloc(char* dst, const char* src, size_t size);
// A heap copy (null for null); StrFree frees the held copy and clears the holder.
char* StrMallocCopy(const char* s);
void StrFree(char** holder);
// mode 1: the holder takes a heap copy of buffer (the old one freed);
// 0: frees it; -1: copies it into buffer (size bytes; empty when none).
// Nonzero on success.
int StrHolder(char* buffer, size_t size, char** holder, int mode);

// Case-insensitive comparisons through the platform's case conversion;
// -1 when either is missing.
int StrCmpNoCase(const char* a, const char* b);
int StrCmpNoCaseN(const char* a, const char* b, size_t n);
int StrCmpNoCaseMax(const char* a, const char* b);
// Nonzero when equal without regard to case (0 when either is missing).
int StrEqualNoCase(const char* a, const char* b);
int StrEqualNoCase2(const char* a, const char* b);

char* StrEnd(char* s);
const char* StrEnd(const char* s);
int StrIndexOfChar(const char* s, int c);

// Index of the first item of `list` equal to key (ignoring case when asked);
// a key ending in the separator ("name=") matches the first item that begins
// with it. Copies the item into item (item_size) and, when a separator is
// given, the text after the item's first separator into value (value_size).
// -1 when absent or an argument is missing. Either out may be null.
int FindInDelimitedList(char* item, size_t item_size, char* value, size_t value_size,
                        int separator, const char* list, const char* key,
                        int ignore_case, int delimiter);
int FindInBarList(const char* list, const char* key, int ignore_case);
// Copies item n (from 0) of a bar list; its length, 0 (dst empty) when n is past the end.
int GetDelimitedListItem(char* dst, size_t size, const char* list, int n);
// The decimal value of item n into *out (0 when missing); nonzero when present.
int GetDelimitedListInt(int* out, const char* list, int n);

const char* StrFindSub(const char* s, const char* sub, int ignore_case);

// First character that is not of the class (null when none or s is empty);
// the Is forms are nonzero when every character is of the class.
const char* StrSkipAlpha(const char* s);
int StrIsAlpha(const char* s);
const char* StrSkipAlnum(const char* s);
int StrIsAlnum(const char* s);
const char* StrFindAlnum(const char* s);
const char* StrSkipDigits(const char* s);
int StrIsDigits(const char* s);
const char* StrFindDigit(const char* s);
int StrHasNoLower(const char* s);

// Caret notation: control character c as "^" + (c + 64), "^" as "^^".
char* StrToCaret(char* dst, size_t size, const char* src);
char* StrFromCaret(char* dst, size_t size, const char* src);

char* StrToUpper(char* s);
char* StrToLower(char* s);
char* StrAnsiToOem(char* s);
char* StrOemToAnsi(char* s);

// Digits of n in radix 2..36 (lower-case letters above 9), no sign.
char* UIntToStr(unsigned long n, char* dst, size_t size, int radix);
char* UIntToStrSigned(unsigned long n, char* dst, size_t size, int radix, int negative);
// The decimal value of s, also stored in *out when given.
int StrToIntOut(const char* s, int* out);
// "1.23" for 123, "0.05" for 5.
char* UIntToHundredthsText(unsigned n, char* dst, size_t size);
// Version text "major.minor" with exactly two decimals ("1.2" gives "1.20").
char* VersionStrNormalize(char* dst, size_t size, const char* src);
// "1.2" gives 120, "2" gives 200.
int VersionStrToInt(const char* s);

// add 1: surrounds with double quotes where missing; 0: removes a
// surrounding pair. dst may be src.
char* StrQuote(char* dst, size_t size, const char* src, int add);

// Cuts at the last backslash; the cut point or null when there is none.
char* StrCutAtLastBackslash(char* s);
// The first TAB of the last pair of consecutive TABs, or null.
char* StrFindLastDoubleTab(char* s);
char* StrCopyCutAtLastBackslash(char* dst, size_t size, const char* src);
char* StrCopyCutAtDoubleTab(char* dst, size_t size, const char* src);
// Copy up to the first / second TAB (the whole text when there is none).
char* StrCopyToTab(char* dst, size_t size, const char* src);
char* StrCopyToSecondTab(char* dst, size_t size, const char* src);

char* StrFindTab(char* s);
char* StrCutAtTab(char* s);
// Cuts text at its first TAB in place, copies the part before it into first
// and returns the rest; null when there is no TAB (a null text empties first).
char* StrSplitTab(char* first, size_t first_size, char* text);
// Cuts text at its first TAB, stores the value of the part before it and
// returns the rest; null when there is no TAB (a null text stores 0).
char* StrSplitTabInt(int* number, char* text);

const char* StrSkipBlanks(const char* s);
char* StrSkipBlanks(char* s);
const char* StrSkipToBlank(const char* s);
char* StrSkipToBlank(char* s);
// Removes trailing blanks; returns the new end.
char* StrTrimRight(char* s);
// Removes leading and trailing blanks (and a surrounding pair of double
// quotes with unquote); returns s.
char* StrTrimBlanks(char* s, int unquote);
int StrIsEmptyOrBlank(const char* s);
int IsBlankChar(int c);
int IsWhiteChar(int c);
// Appends n spaces while they fit in size bytes; returns the new end.
char* StrAppendSpaces(char* s, size_t size, int n);
// Copies the next blank-separated or double-quoted token (at most max
// characters; dst holds max + 1) and returns the text after it and its blanks.
const char* StrNextToken(char* dst, size_t max, const char* text);
// Reads the next argument at *cursor (quoted with \" escapes, or up to a
// space) into dst (size bytes); *cursor moves past it and its blanks and
// becomes null at the end. 0 when nothing was left.
int StrParseQuoted(char* dst, size_t size, const char** cursor);

// Character tests and conversions (the platform's, in the ANSI code page).
int CharToLower(int c);
int CharToUpper(int c);
int CharIsLower(int c);
int CharIsUpper(int c);
int CharIsAlpha(int c);
int CharIsAlphaNumeric(int c);
int CharIsDigit(int c);
int CharIsPunct(int c);
int CharIsCntrl(int c);
int CharIsPrintable(int c);
// Whether the editor font uses the OEM character set (set by the text view);
// then codes from 127 up are converted from OEM to ANSI before the letter tests.
void CharSetOemFont(int oem);
