#pragma once

#include <QString>

// "V" and the four parts of a product version, the last three written one
// after the other: 1.0.3.1 gives "V1.031".
QString FormatVersion(int major, int minor, int patch, int build);

// The program's own version string, from the version the build was given.
QString GetVersionString();

// The about box's build line: a line end, then "Build", the build's date
// (three-letter month, day, year) and time (hh:mm:ss).
QString BuildLine();
