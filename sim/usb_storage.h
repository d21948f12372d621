#pragma once

#include <string>

// Maps a file name on the box's USB stick to a path below `root`, the folder
// that plays the stick (--usb DIR). Names are relative to the stick; a
// leading "/" names its top. False with `error` set when the name climbs out
// of the stick with ".." or through a symbolic link, or does not exist.
bool ResolveUsbPath(const std::string& root, const std::string& name, std::string* path,
                    std::string* error);
