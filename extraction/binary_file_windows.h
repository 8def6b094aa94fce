// Binary files on Windows, for the archive walk, the decoder's output and the
// kept-file comparison of the extraction: opened through the guarded system
// calls, a failed call recorded (failure_record.h).
#pragma once

#include <windows.h>

#include "archive/binary_file.h"
#include "contract/installer_contract.h"

// Opens path (ANSI, in codePage; CP_ACP is the system's) for reading and
// writing: a missing file is created empty, an existing one is opened
// unchanged. If that fails, opens it for reading only. An empty path or one
// holding "*" or "?" is refused without a system call (IsOpenablePath);
// anything but a disk file (a device, a pipe) is closed again right after the
// open and left unopened.
// The open uses kInstalledPathLimit UTF-16 units of the path and drops the
// rest, so callers that build paths must keep them within it. Returns false
// and leaves the file unopened when nothing could be opened.
bool OpenBinaryFile(BinaryFile* file, const char* path, UINT codePage = CP_ACP);

// Opens an existing file at path (ANSI, in the system's code page) for
// reading only, as OpenBinaryFile does but never creating one: a file that is
// gone by now stays gone, rather than coming back empty. Returns false and
// leaves the file unopened when there is none or it cannot be opened.
bool OpenExistingBinaryFile(BinaryFile* file, const char* path);

// Closes a file that OpenBinaryFile or OpenExistingBinaryFile opened and
// returns false when the system reports a failure at the close (a file system
// may report a write that failed only then); the file is closed either way.
// A file that is not open closes without a failure.
bool CloseCheckedBinaryFile(BinaryFile* file);
