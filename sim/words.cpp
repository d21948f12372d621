#include "words.h"

#include <cerrno>
#include <cstdlib>

bool SplitWords(std::string_view line, std::vector<std::string>* words, std::string* error) {
  words->clear();
  size_t at = 0;
  while (at < line.size()) {
    char c = line[at];
    if (c == ' ' || c == '\t' || c == '\r') {
      at++;
      continue;
    }
    std::string word;
    while (at < line.size()) {
      c = line[at];
      if (c == ' ' || c == '\t' || c == '\r') break;
      if (c == '\'' || c == '"') {
        size_t close = line.find(c, at + 1);
        if (close == std::string_view::npos) {
          *error = std::string("unmatched ") + (c == '"' ? "double" : "single") + " quote";
          return false;
        }
        word.append(line.substr(at + 1, close - at - 1));
        at = close + 1;
      } else {
        word += c;
        at++;
      }
    }
    words->push_back(std::move(word));
  }
  return true;
}

bool ParseNumber(const std::string& word, uint64_t max, uint64_t* value) {
  if (word.empty() || word[0] < '0' || word[0] > '9') return false;
  errno = 0;
  char* end = nullptr;
  unsigned long long parsed = std::strtoull(word.c_str(), &end, 0);
  if (errno != 0 || *end != '\0' || parsed > max) return false;
  *value = parsed;
  return true;
}
