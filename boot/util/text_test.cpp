#include "util/text.h"

#include <gtest/gtest.h>

#include <string>

TEST(Trim, RemovesWhiteSpaceAtBothEnds) {
  struct Case {
    std::string input;
    std::string expected;
  } cases[] = {
      {"  a b \t\r\n", "a b"},
      {"   ", ""},
      {"", ""},
      {"x", "x"},
      {"\v\fkey value\f\v", "key value"},
      {"a  \t b", "a  \t b"},  // inner white space stays
  };
  for (const Case& c : cases) {
    std::string buffer = c.input;
    char* result = trim(buffer.data());
    EXPECT_EQ(result, buffer.data()) << c.input;
    EXPECT_STREQ(result, c.expected.c_str()) << '"' << c.input << '"';
  }
}
