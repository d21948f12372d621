#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Splits a shell line into words at blanks (space, tab, carriage return).
// Single or double quotes group a word and are removed; there are no escapes,
// so Windows paths pass unchanged. False with `error` set for an unmatched
// quote.
bool SplitWords(std::string_view line, std::vector<std::string>* words, std::string* error);

// Reads a number as strtoul with base 0 does (decimal, 0x hexadecimal, 0
// octal), but the whole word must be the number, without sign or blanks, and
// at most `max`. False when it is not.
bool ParseNumber(const std::string& word, uint64_t max, uint64_t* value);
