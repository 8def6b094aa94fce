// Opening a binary file on the platform at hand. The installer's Windows
// implementation goes through the guarded system calls; the host one uses POSIX.
#pragma once

#include "archive/binary_file.h"

// Opens path for reading and writing: a missing file is created empty, an
// existing one is opened unchanged. If that fails, opens it for reading only.
// An empty path or one holding "*" or "?" is refused without a system call.
// Returns false and leaves the file unopened when nothing could be opened.
bool OpenBinaryFile(BinaryFile* file, const char* path);

// False for an empty path and for one that holds "*" or "?": such paths are
// refused before any system call, on every platform.
bool IsOpenablePath(const char* path);
