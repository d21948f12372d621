#include "net/os_init.h"

// POSIX sockets need no start-up; the Windows build starts Winsock 2.2 here.
int OSInit() { return 0; }
