#include "cmdline/cmdline.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool IsSeparator(char c) { return c == ' ' || c == '\t' || c == '\n'; }
bool IsQuote(char c) { return c == '"' || c == '\''; }

// Ends a failed split: releases the vector and flushes what was printed.
int FailSplit(int* argc, char*** argv, const char** reason, const char* text) {
  argv_free(argc, argv);
  *reason = text;
  std::fflush(stdout);
  return 1;
}

// The limit and memory messages have no line end of their own; a failed split
// ends their line so that what is printed next starts on a line of its own.
int FailSplitAfterMessage(int* argc, char*** argv, const char** reason, const char* text) {
  std::fputs("\n", stdout);
  return FailSplit(argc, argv, reason, text);
}

}  // namespace

int argv_init(int* argc, char*** argv) {
  *argc = 0;
  *argv = static_cast<char**>(std::calloc(kArgvSlots, sizeof(char*)));
  if (*argv == nullptr) {
    std::fputs("argv_init: argv calloc fail", stdout);
    return -1;
  }
  (*argv)[0] = static_cast<char*>(std::calloc(kArgvWordBytes, 1));
  if ((*argv)[0] == nullptr) {
    std::fputs("argv_init: argv[i] calloc fail", stdout);
    std::free(*argv);
    *argv = nullptr;
    return -1;
  }
  return 0;
}

void argv_free(int* argc, char*** argv) {
  if (*argv != nullptr) {
    for (int i = 0; i <= *argc && i < kArgvSlots; ++i) std::free((*argv)[i]);
    std::free(*argv);
  }
  *argv = nullptr;
  *argc = 0;
}

int argv_addch(int argc, char** argv, int c) {
  char* word = argv[argc];
  size_t length = std::strlen(word);
  if (length >= static_cast<size_t>(kArgvMaxWordLength)) {
    std::printf("argv_addch: reached max token length (%d)", kArgvWordBytes);
    return -1;
  }
  word[length] = static_cast<char>(c);
  return 0;
}

int argv_finish_token(int* argc, char*** argv) {
  bool empty = (*argv)[*argc][0] == '\0';
  if (*argc >= kArgvMaxWords) {
    std::printf("argv_finish_token: reached max argv entries(%d)", kArgvSlots);
    return empty ? 0 : -1;
  }
  if (empty) return 0;
  char* next = static_cast<char*>(std::calloc(kArgvWordBytes, 1));
  if (next == nullptr) {
    std::fputs("argv_finish_token: failed to calloc argv[i]", stdout);
    return -2;
  }
  ++*argc;
  (*argv)[*argc] = next;
  return 0;
}

int str2argv(const char* s, int* argc, char*** argv, const char** reason) {
  *reason = nullptr;
  if (argv_init(argc, argv) != 0) {
    return FailSplitAfterMessage(argc, argv, reason, "Out of memory");
  }

  bool in_token = false;
  bool in_quote = false;
  char opening_quote = '\0';
  bool escape_pending = false;
  int result = 0;  // of the last append or finish
  bool appended = false;

  for (size_t i = 0; s[i] != '\0' && result == 0; ++i) {
    const char c = s[i];
    appended = false;
    // Adds c to the current word; a failure then means "Word too long".
    auto append = [&] {
      result = argv_addch(*argc, *argv, c);
      appended = true;
    };
    if (IsQuote(c)) {
      if (escape_pending) {
        append();
        escape_pending = false;
      } else if (!in_token) {
        in_token = in_quote = true;
        opening_quote = c;
      } else if (!in_quote) {
        // Text before the quote stays in the same word.
        in_quote = true;
        opening_quote = c;
      } else if (c == opening_quote) {
        // The closing quote always ends the word.
        result = argv_finish_token(argc, argv);
        in_token = in_quote = false;
      } else {
        append();
      }
    } else if (c == '\\') {
      if (in_quote && s[i + 1] != opening_quote) {
        // Inside quotes a backslash only escapes the closing quote.
        append();
      } else if (escape_pending) {
        append();
        escape_pending = false;
      } else {
        escape_pending = true;
      }
    } else if (IsSeparator(c)) {
      if (!in_token) {
        // Separators between words are skipped.
      } else if (in_quote) {
        append();
      } else if (escape_pending) {
        append();
        escape_pending = false;
      } else {
        in_token = false;
        result = argv_finish_token(argc, argv);
      }
    } else {
      in_token = true;
      escape_pending = false;
      append();
    }
  }
  if (result == 0) {
    appended = false;
    result = argv_finish_token(argc, argv);
  }

  if (result != 0) {
    const char* text = appended       ? "Word too long"
                       : result == -1 ? "Too many words"
                                      : "Out of memory";
    return FailSplitAfterMessage(argc, argv, reason, text);
  }
  if (in_quote) {
    std::printf("warning fun(%s) line(%d):free inside function.\n", "str2argv", 215);
    return FailSplit(argc, argv, reason, "Unmatched quotes");
  }
  if (escape_pending) {
    std::printf("warning fun(%s) line(%d):free inside function.\n", "str2argv", 223);
    return FailSplit(argc, argv, reason, "Unused/Dangling escape sequence");
  }
  // The word under construction is empty here; the slot becomes the end mark.
  std::free((*argv)[*argc]);
  (*argv)[*argc] = nullptr;
  return 0;
}

char* argv2str(int argc, char** argv) {
  if (argc <= 0) return nullptr;
  size_t length = 0;
  for (int i = 0; i < argc; ++i) {
    length += std::strlen(argv[i]) + 1;
    if (std::strchr(argv[i], ' ') != nullptr) length += 2;
  }
  char* text = static_cast<char*>(std::calloc(length + 1, 1));
  if (text == nullptr) {
    std::fputs("argv2str: calloc failed", stdout);
    return nullptr;
  }
  char* end = text;
  for (int i = 0; i < argc; ++i) {
    const char* format = std::strchr(argv[i], ' ') != nullptr ? "'%s' " : "%s ";
    end += std::sprintf(end, format, argv[i]);
  }
  return text;
}
