#pragma once
// The hand-off block that a second start sends to the running editor: its
// command-line words, each followed by one NUL byte, back to back, in at
// most 4096 bytes. Portable, so that the parser can be fuzzed on its own.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

constexpr size_t kHandOffBlockMax = 4096;

// Packs `words` (the arguments after the program name) into `block`: a word
// goes in only while the total, its NUL included, stays within 4096 bytes;
// the first that does not fit ends the packing. Returns the word count to
// send as the data word: the words packed plus one for the program name, so
// that the receiver never looks for words that were dropped.
uint32_t PackHandOffBlock(const std::vector<std::string>& words, std::string* block);

// Splits a received block into its words. `count` is the data word (words
// plus the program name), `size` the byte count. Refused (false, `words`
// empty) when the count is 0 or asks for more than 4095 words, when the
// block is larger than 4096 bytes or missing while words are expected, or
// when a word's NUL does not lie within the block; bytes after the last
// counted word are ignored.
bool SplitHandOffBlock(uint64_t count, const void* data, size_t size,
                       std::vector<std::string>* words);

// The sender's side: makes the file words and the values of "dir" and
// "diff" absolute with `full_path` (relative to the sender's own folder), so
// that the running editor, whose folder differs, finds the same files. The
// values of "l", "c" and "k" stay as they are.
void AbsolutizeHandOffWords(std::vector<std::string>* words,
                            const std::function<std::string(const std::string&)>& full_path);

// The keywords of the command line, in the order they are compared; the
// index is the pending-keyword number. -1 when `word` is none of them.
int FindCmdLineKeyword(const char* word);
// Number of value words that follow a keyword (0, 1 or 2).
int CmdLineKeywordValues(int keyword);
