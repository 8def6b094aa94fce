// DeleteMatchingFiles, MakeDirectory and ChangeDirectory.
#include <windows.h>

#include "frame/failure_record.h"
#include "frame/file_system.h"
#include "frame/guarded_call_windows.h"
#include "frame/system_calls_windows.h"
#include "frame/text_conversion_windows.h"

namespace {

// Entries DeleteMatchingFiles leaves: hidden, system, volume label, directory.
const DWORD kKeptAttributes = 0x1E;

// The pattern up to and including its last "\" or ":".
WideText FolderPrefixOf(const WideText& pattern) {
  WideText prefix = pattern;
  int32_t length = pattern.length;
  while (length > 0 && pattern.units[length - 1] != L'\\' && pattern.units[length - 1] != L':') {
    --length;
  }
  TruncateWide(&prefix, length);
  return prefix;
}

// Converts a directory path and cuts it to its limit; false (with
// path-not-found recorded) when it holds a wildcard.
bool PrepareDirectoryPath(const AnsiText& path, FrameService service, WideText* wide) {
  *wide = ToWide(path);
  if (DoesWideContain(*wide, '*', '?')) {
    RecordFailure(service, ERROR_PATH_NOT_FOUND);
    return false;
  }
  TruncateWide(wide, kDirectoryPathLimit);
  return true;
}

}  // namespace

void DeleteMatchingFiles(const AnsiText& pattern, uint32_t codePage) {
  if (IsTextEmpty(pattern)) {
    return;
  }
  WideText path = ToWide(pattern, codePage);
  TruncateWide(&path, kSearchPathLimit);
  if (DoesWideEndWith(path, ':', '\\')) {
    AppendWide(&path, L"*.*");
  }
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW(path.units, &entry);
  if (search == INVALID_HANDLE_VALUE) {
    RecordFailure(kDeleteMatchingFilesService, ERROR_FILE_NOT_FOUND);
    return;
  }
  WideText prefix = FolderPrefixOf(path);
  do {
    if ((entry.dwFileAttributes & kKeptAttributes) != 0) {
      continue;
    }
    WideText target = prefix;
    AppendWide(&target, entry.cFileName);
    GuardedOutcome<BOOL> deleted = GuardedCall([&] { return DeleteFileW(target.units); });
    if (deleted.failed) {
      FindClose(search);
      RecordFailure(kDeleteMatchingFilesService, deleted.lastError);
      return;
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
}

void MakeDirectory(const AnsiText& path) {
  WideText wide;
  if (!PrepareDirectoryPath(path, kMakeDirectoryService, &wide)) {
    return;
  }
  GuardedOutcome<BOOL> made = GuardedCall([&] { return CreateDirectoryW(wide.units, nullptr); });
  if (made.failed) {
    RecordFailure(kMakeDirectoryService, made.lastError);
  }
}

void ChangeDirectory(const AnsiText& path) {
  WideText wide;
  if (!PrepareDirectoryPath(path, kChangeDirectoryService, &wide)) {
    return;
  }
  GuardedOutcome<BOOL> changed = GuardedCall([&] { return SetCurrentDirectoryW(wide.units); });
  if (changed.failed) {
    RecordFailure(kChangeDirectoryService, changed.lastError);
  }
}
