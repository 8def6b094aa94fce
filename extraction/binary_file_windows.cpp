// Binary file access of the installer: every system call runs through the
// guarded call, and a failed call is recorded for the file access service and
// otherwise ignored. The short-read mark and the behaviour of a file that is
// not open come from binary_file.cpp.
//
// Only disk files are opened. A path that names a device (a console, a pipe,
// the null device, a serial port) is closed again right after the open and
// left unopened: entry data written to a device would be lost or, worse, sent
// somewhere, and reading an archive from one makes no sense.
#include <windows.h>

#include "archive/binary_file.h"
#include "extraction/binary_file_windows.h"
#include "frame/ansi_text.h"
#include "frame/failure_record.h"
#include "frame/guarded_call_windows.h"
#include "frame/system_calls_windows.h"
#include "frame/text_conversion_windows.h"

namespace {

HANDLE HandleOf(void* handle) {
  return static_cast<HANDLE>(handle);
}

int32_t ReadHandle(void* handle, uint8_t* bytes, int32_t count) {
  DWORD delivered = 0;
  GuardedOutcome<BOOL> read = GuardedCall([&] {
    return ReadFile(HandleOf(handle), bytes, static_cast<DWORD>(count), &delivered, nullptr);
  });
  if (read.failed) {
    RecordFailure(kFileAccessService, read.lastError);
  }
  return read.value ? static_cast<int32_t>(delivered) : 0;
}

int32_t WriteHandle(void* handle, const uint8_t* bytes, int32_t count) {
  DWORD written = 0;
  GuardedOutcome<BOOL> write = GuardedCall([&] {
    return WriteFile(HandleOf(handle), bytes, static_cast<DWORD>(count), &written, nullptr);
  });
  if (write.failed) {
    RecordFailure(kFileAccessService, write.lastError);
  }
  return write.value ? static_cast<int32_t>(written) : 0;
}

void SeekHandle(void* handle, int32_t position) {
  GuardedOutcome<DWORD> moved =
      GuardedCall([&] { return SetFilePointer(HandleOf(handle), position, nullptr, FILE_BEGIN); });
  if (moved.failed) {
    RecordFailure(kFileAccessService, moved.lastError);
  }
}

int64_t HandleLength(void* handle) {
  // The high half as well, so that a file of 4 GiB or more never reads as a
  // short one; a low half of all ones is a real size when no error is left.
  DWORD high = 0;
  GuardedOutcome<DWORD> size = GuardedCall([&] { return GetFileSize(HandleOf(handle), &high); });
  if (size.failed) {
    RecordFailure(kFileAccessService, size.lastError);
    return 0;
  }
  return static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | size.value);
}

// Judged by the return value: a close that succeeded is no failure whatever
// last error it leaves.
bool CloseHandleChecked(void* handle) {
  GuardedOutcome<BOOL> closed = GuardedCall([&] { return CloseHandle(HandleOf(handle)); });
  if (closed.failed) {
    RecordFailure(kFileAccessService, closed.lastError);
  }
  return closed.value != FALSE;
}

void CloseFileHandle(void* handle) {
  CloseHandleChecked(handle);
}

const BinaryFileOps kHandleOps = {ReadHandle, WriteHandle, SeekHandle, HandleLength,
                                  CloseFileHandle};

// CreateFileW with OPEN_ALWAYS (an existing file opens unchanged, a missing one
// is created empty) or OPEN_EXISTING. Only INVALID_HANDLE_VALUE counts as a
// failure; the ERROR_ALREADY_EXISTS that an existing file leaves does not.
HANDLE OpenHandle(const WideText& path, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES security;
  security.nLength = sizeof(security);
  security.lpSecurityDescriptor = nullptr;
  security.bInheritHandle = TRUE;
  GuardedOutcome<HANDLE> opened = GuardedCall([&] {
    return CreateFileW(path.units, access, 0, &security, disposition, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  });
  if (opened.value == INVALID_HANDLE_VALUE) {
    RecordFailure(kFileAccessService, opened.lastError);
  }
  return opened.value;
}

bool IsDiskFile(HANDLE handle) {
  GuardedOutcome<DWORD> type = GuardedCall([&] { return GetFileType(handle); });
  if (type.failed) {
    RecordFailure(kFileAccessService, type.lastError);
  }
  return type.value == FILE_TYPE_DISK;
}

// Opens path, written in codePage, for reading and writing, then for reading
// alone, with the disposition given; a disk file only.
bool OpenDiskFile(BinaryFile* file, const char* path, UINT codePage, DWORD disposition) {
  *file = UnopenedBinaryFile();
  if (!IsOpenablePath(path)) {
    return false;
  }
  WideText wide = ToWide(TextFrom(path), codePage);
  if (wide.length == 0) {
    return false;
  }
  TruncateWide(&wide, kInstalledPathLimit);
  HANDLE handle = INVALID_HANDLE_VALUE;
  if (disposition == OPEN_ALWAYS) {
    handle = OpenHandle(wide, GENERIC_READ | GENERIC_WRITE, disposition);
  }
  if (handle == INVALID_HANDLE_VALUE) {
    handle = OpenHandle(wide, GENERIC_READ, disposition);
  }
  if (handle == INVALID_HANDLE_VALUE) {
    return false;
  }
  if (!IsDiskFile(handle)) {
    CloseFileHandle(handle);
    return false;
  }
  file->ops = &kHandleOps;
  file->handle = handle;
  return true;
}

}  // namespace

bool OpenBinaryFile(BinaryFile* file, const char* path, UINT codePage) {
  return OpenDiskFile(file, path, codePage, OPEN_ALWAYS);
}

bool OpenExistingBinaryFile(BinaryFile* file, const char* path) {
  return OpenDiskFile(file, path, CP_ACP, OPEN_EXISTING);
}

bool CloseCheckedBinaryFile(BinaryFile* file) {
  if (!IsBinaryFileOpen(file)) {
    return true;
  }
  if (file->ops != &kHandleOps) {
    CloseBinaryFile(file);
    return true;
  }
  bool closed = CloseHandleChecked(file->handle);
  *file = UnopenedBinaryFile();
  return closed;
}
