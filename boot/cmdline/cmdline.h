#pragma once

// Splitting a tool command into words, and joining words back into a line.
//
// A word vector is a count and an array of kArgvSlots pointers to word buffers
// of kArgvWordBytes bytes each, owned by the caller: create it with argv_init
// (or let str2argv do so) and release it with argv_free. Slots 0 to count-1
// hold the finished words; slot `count` holds the word under construction, or
// null once a split has succeeded, as in a program's argument vector.
//
// Quoting: '...' and "..." group words (the other quote character is ordinary
// inside), a backslash escapes a quote, a separator or a backslash. Separators
// are blank, tab and line feed; every other byte is ordinary.
//
// Messages go to standard output. Nothing here keeps state between calls.

constexpr int kArgvSlots = 255;      // at most 254 words and the null slot
constexpr int kArgvWordBytes = 255;  // at most 254 characters and the NUL
constexpr int kArgvMaxWords = kArgvSlots - 1;
constexpr int kArgvMaxWordLength = kArgvWordBytes - 1;

// Splits `s` into a fresh vector. Returns 0 on success, with *reason null.
// Returns 1 on failure, with *reason set ("Unmatched quotes", "Unused/Dangling
// escape sequence", "Word too long", "Too many words" or "Out of memory"), the
// vector already released (*argc 0, *argv null) and a message printed. A word
// longer than 254 characters or a 255th word fails the split rather than being
// cut, so that no file name is ever shortened.
int str2argv(const char* s, int* argc, char*** argv, const char** reason);

// Allocates the slot array and an empty first word buffer; *argc becomes 0.
// Returns 0, or -1 (message printed, nothing allocated) when memory runs out.
int argv_init(int* argc, char*** argv);

// Releases the buffers in slots 0 to *argc and the array; *argc becomes 0 and
// *argv null. Safe on a vector that was never created (*argv null).
void argv_free(int* argc, char*** argv);

// Appends `c` to the word under construction. Returns 0, or -1 (message
// printed, word unchanged) when the word already holds 254 characters.
int argv_addch(int argc, char** argv, int c);

// Ends the word under construction; an empty word is not counted. Returns 0;
// -1 (message printed) when there is no room for the word (254 words already);
// -2 (message printed) when memory runs out. A full vector prints its message
// even when the word under construction is empty, but then nothing is lost and
// 0 is returned.
int argv_finish_token(int* argc, char*** argv);

// The first `argc` words joined, each followed by one blank; a word holding a
// blank is put between single quotes. The result is allocated with malloc and
// released by the caller with free(). Null when argc is 0 or less (or when
// memory runs out, with a message).
char* argv2str(int argc, char** argv);
