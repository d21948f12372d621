#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <functional>

// Splits one command line written in the Windows convention into an argument
// vector, so that the command lines the front end builds (and the ones the
// operator types) mean on this platform what they mean on Windows.
//
// The program (first word) ends at the first blank or tab, or, when it starts
// with a double quote, at the next double quote; backslashes in it are
// literal. The arguments after it follow the C run-time rules: blanks and tabs
// outside double quotes separate arguments; a double quote toggles quoting
// and is removed; 2n backslashes before a double quote give n backslashes and
// the quote toggles, 2n+1 give n backslashes and a literal quote; two double
// quotes inside a quoted part give one literal quote; other backslashes are
// literal. `""` is an empty argument.
//
// `is_program`, when given, is asked about an unquoted program path that is
// followed by blanks: like process creation on Windows, the shortest prefix of
// the line ending before a blank that names an existing program wins, so a
// working folder with blanks in its name still works although the front end
// does not quote the tool's path. Without a match the first word is taken.
//
// Returns an empty list for a line with no words.
QStringList SplitCommandLine(QStringView line,
                             const std::function<bool(const QString&)>& is_program = {});
