#pragma once

// A read-only view of a whole file, for the layout and merged-image readers.
//
// x_fmmap maps the file at `path` and returns the view, or null. When `size`
// is not null it receives the file's size in bytes. No descriptor stays open:
// only the view remains, valid until x_munmap. On failure a message goes to
// standard output with the system's text for errno:
//   "<error text>: <path>\n"                  the file cannot be opened or examined
//   "Failed to mmap <error text> <path>\n"    the mapping fails (an empty file, too)
// A file of 4 GiB or more, whose size does not fit `size`, fails like a file
// that cannot be examined (EFBIG).
void* x_fmmap(const char* path, unsigned* size);

// Releases a view from x_fmmap of `size` bytes. 0 on success, -1 on failure.
int x_munmap(void* view, unsigned size);
