#include "installer/payload_copy_windows.h"

#include <cstring>

#include "archive/payload_check.h"
#include "frame/file_system.h"
#include "frame/guarded_call_windows.h"
#include "frame/system_calls_windows.h"

namespace {

enum : int32_t {
  kFileNameLimit = 259,  // characters of the name kept (260-byte buffer)
};

const DWORD kForeignAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
                                 FILE_ATTRIBUTE_REPARSE_POINT;

// True when the payload matches the module's payload check record, or when
// the module has none (installers made without it unpack unchecked).
bool PayloadMatchesItsRecord(HINSTANCE module, const void* payload, DWORD payloadSize) {
  HRSRC resource =
      FindResourceA(module, kPayloadCheckResourceName, MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  if (resource == nullptr) {
    return true;
  }
  const void* record = LoadResource(module, resource);
  DWORD recordSize = SizeofResource(module, resource);
  if (record == nullptr) {
    return false;
  }
  return CheckPayload(static_cast<const uint8_t*>(payload), payloadSize,
                      static_cast<const uint8_t*>(record), recordSize) == kPayloadMatchesRecord;
}

}  // namespace

PayloadCopy CopyPayloadToFile(HINSTANCE module, const AnsiText& archiveName) {
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(kPayloadResourceId),
                                 MAKEINTRESOURCEA(10) /* RT_RCDATA */);
  if (resource == nullptr) {
    return kPayloadMissing;
  }
  // The loaded resource serves as the address of its bytes.
  const void* data = LoadResource(module, resource);
  DWORD size = SizeofResource(module, resource);
  if (!PayloadMatchesItsRecord(module, data, size)) {
    return kPayloadMismatch;
  }

  char fileName[kFileNameLimit + 1];
  int32_t length = archiveName.length < kFileNameLimit ? archiveName.length : kFileNameLimit;
  std::memcpy(fileName, archiveName.chars, static_cast<size_t>(length));
  fileName[length] = '\0';
  // A file of that name that the removal of a stale archive had to leave (a
  // read-only, hidden or system file, a folder, a link) was put there by
  // someone else: it is neither written over, nor written through to where it
  // leads, nor unpacked in place of the payload.
  DWORD attributes = GetFileAttributesA(fileName);
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & kForeignAttributes) != 0) {
    return kPayloadNotWritten;
  }
  HANDLE file = CreateFileA(fileName, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    return kPayloadNotWritten;
  }
  DWORD written = 0;
  BOOL wrote = WriteFile(file, data, size, &written, nullptr);
  // A file system may report a deferred write failure only at the close.
  BOOL closed = CloseHandle(file);
  if (wrote && closed && written == size) {
    return kPayloadCopied;
  }
  DeleteMatchingFiles(TextFrom(fileName));
  return kPayloadNotWritten;
}

AnsiText ResolveFullPath(const AnsiText& name) {
  char path[kTextCapacity + 1];
  GuardedOutcome<DWORD> resolved =
      GuardedCall([&] { return GetFullPathNameA(name.chars, sizeof(path), path, nullptr); });
  if (resolved.value == 0 || resolved.value >= sizeof(path)) {
    return name;
  }
  return TextFromChars(path, static_cast<int32_t>(resolved.value));
}
