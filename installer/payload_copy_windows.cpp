#include "installer/payload_copy_windows.h"

#include <cstring>

#include "archive/payload_check.h"
#include "contract/installer_contract.h"
#include "frame/file_system.h"
#include "frame/guarded_call_windows.h"
#include "frame/system_calls_windows.h"
#include "frame/text_conversion_windows.h"

namespace {

enum : int32_t {
  kFileNameLimit = 259,  // characters of the name kept (260-byte buffer)
};

const DWORD kForeignAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                 FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY |
                                 FILE_ATTRIBUTE_REPARSE_POINT;

// The module's payload check record: false when it has none. *record is null
// when the record cannot be loaded.
bool FindCheckRecord(HINSTANCE module, const uint8_t** record, DWORD* recordSize) {
  HRSRC resource = FindResourceA(module, kPayloadCheckResourceName, RT_RCDATA);
  if (resource == nullptr) {
    return false;
  }
  *record = static_cast<const uint8_t*>(LoadResource(module, resource));
  *recordSize = SizeofResource(module, resource);
  return true;
}

// True when the payload matches the module's payload check record, or when
// the module has none (installers made without it unpack unchecked).
bool PayloadMatchesItsRecord(HINSTANCE module, const void* payload, DWORD payloadSize) {
  const uint8_t* record = nullptr;
  DWORD recordSize = 0;
  if (!FindCheckRecord(module, &record, &recordSize)) {
    return true;
  }
  if (record == nullptr) {
    return false;
  }
  return CheckPayload(static_cast<const uint8_t*>(payload), payloadSize, record, recordSize) ==
         kPayloadMatchesRecord;
}

// Writes size bytes from data into the file archiveName in one write.
PayloadCopy WritePayload(const void* data, DWORD size, const AnsiText& archiveName) {
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

}  // namespace

PayloadCopy CopyPayloadToFile(HINSTANCE module, const AnsiText& archiveName,
                              const AnsiText& fallbackName, AnsiText* archivePath) {
  *archivePath = archiveName;
  HRSRC resource = FindResourceA(module, MAKEINTRESOURCEA(kPayloadResourceId), RT_RCDATA);
  if (resource == nullptr) {
    return kPayloadMissing;
  }
  // The loaded resource serves as the address of its bytes. One the system
  // cannot load is as missing as one that is not there: written from a null
  // address, it would make neither folder take it.
  const void* data = LoadResource(module, resource);
  if (data == nullptr) {
    return kPayloadMissing;
  }
  DWORD size = SizeofResource(module, resource);
  // Checked once, whichever folder then takes it.
  if (!PayloadMatchesItsRecord(module, data, size)) {
    return kPayloadMismatch;
  }
  PayloadCopy copy = WritePayload(data, size, archiveName);
  if (copy == kPayloadNotWritten && !IsTextEmpty(fallbackName)) {
    *archivePath = fallbackName;
    copy = WritePayload(data, size, fallbackName);
  }
  return copy;
}

UINT RecordedNamesCodePage(HINSTANCE module) {
  const uint8_t* bytes = nullptr;
  DWORD size = 0;
  PayloadCheckRecord record;
  if (!FindCheckRecord(module, &bytes, &size) || !ReadPayloadCheckRecord(bytes, size, &record)) {
    return 0;
  }
  return record.codePage;
}

AnsiText TemporaryFolderArchive(const char* archiveName) {
  WCHAR folder[MAX_PATH + 1];
  DWORD length = GetTempPathW(MAX_PATH + 1, folder);
  if (length == 0 || length > MAX_PATH) {
    return EmptyText();
  }
  AnsiText path = ToAnsi(folder);
  // A folder whose name the code page lacks would come back as another one.
  WideText back = ToWide(path);
  if (IsTextEmpty(path) || back.length != static_cast<int32_t>(length) ||
      std::memcmp(back.units, folder, length * sizeof(WCHAR)) != 0) {
    return EmptyText();
  }
  if (path.chars[path.length - 1] != '\\') {
    AppendText(&path, "\\");
  }
  AppendText(&path, archiveName);
  return path;
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
