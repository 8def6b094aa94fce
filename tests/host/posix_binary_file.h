// Binary files opened with POSIX calls, for host tests of what the binary file
// layer promises every opener: the installer's Windows open
// (extraction/binary_file_windows.h) in its contract, on the host.
#pragma once

#include "archive/binary_file.h"

// As OpenBinaryFile on Windows: read and write, a missing file created empty,
// an existing one kept; read-only when that fails; a path IsOpenablePath
// refuses, and a folder, are not opened. False, the file unopened, otherwise.
bool OpenPosixBinaryFile(BinaryFile* file, const char* path);
