#pragma once

// Removes leading and trailing white space (blank, tab, line feed, vertical
// tab, form feed, carriage return) from `s` in place and returns `s`. Leading
// white space is removed by moving the rest of the string to the front.
char* trim(char* s);
