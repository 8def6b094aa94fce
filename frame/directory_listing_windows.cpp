// FindFirstName and FindNextName: the listing over the calling thread's open search.
#include <windows.h>

#include "frame/file_system.h"
#include "frame/frame_state_windows.h"
#include "frame/guarded_call_windows.h"
#include "frame/system_calls_windows.h"
#include "frame/text_conversion_windows.h"

namespace {

void ForgetSearch(FrameState* state) {
  HANDLE handle = state->search.handle;
  state->search.handle = nullptr;
  GuardedCall([&] { return FindClose(handle); });
}

bool PassesFilter(const WIN32_FIND_DATAW& entry, uint32_t filter) {
  DWORD attributes = entry.dwFileAttributes;
  if ((attributes & FILE_ATTRIBUTE_HIDDEN) != 0 && (filter & kHiddenEntries) == 0) {
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_SYSTEM) != 0 && (filter & kSystemEntries) == 0) {
    return false;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 && (filter & kDirectoryEntries) == 0) {
    return false;
  }
  const WCHAR* name = entry.cFileName;
  bool isDot = name[0] == L'.' && name[1] == 0;
  bool isDotDot = name[0] == L'.' && name[1] == L'.' && name[2] == 0;
  return !isDot && !isDotDot;
}

// Walks the open search from the entry in hand: returns the first entry that
// passes the filter, or closes the search at its end and returns empty.
AnsiText TakeFirstPassing(FrameState* state, WIN32_FIND_DATAW* entry) {
  while (!PassesFilter(*entry, state->search.filter)) {
    HANDLE handle = state->search.handle;
    GuardedOutcome<BOOL> next = GuardedCall([&] { return FindNextFileW(handle, entry); });
    if (next.value == 0) {
      ForgetSearch(state);
      return EmptyText();
    }
  }
  return ToAnsi(entry->cFileName);
}

}  // namespace

AnsiText FindFirstName(const AnsiText& pattern, uint32_t filter) {
  if (IsTextEmpty(pattern)) {
    return FindNextName();
  }
  FrameState* state = AcquireFrameState();
  if (state == nullptr) {
    return EmptyText();
  }
  if (state->search.handle != nullptr) {
    ForgetSearch(state);
  }
  state->search.filter = filter;

  WideText path = ToWide(pattern);
  TruncateWide(&path, kSearchPathLimit);
  if (DoesWideEndWith(path, ':', '\\')) {
    AppendWide(&path, L"*.*");
  }
  WIN32_FIND_DATAW entry;
  GuardedOutcome<HANDLE> first = GuardedCall([&] { return FindFirstFileW(path.units, &entry); });
  if (first.value == INVALID_HANDLE_VALUE) {
    return EmptyText();
  }
  state->search.handle = first.value;
  return TakeFirstPassing(state, &entry);
}

AnsiText FindNextName() {
  FrameState* state = AcquireFrameState();
  if (state == nullptr || state->search.handle == nullptr) {
    return EmptyText();
  }
  WIN32_FIND_DATAW entry;
  HANDLE handle = state->search.handle;
  GuardedOutcome<BOOL> next = GuardedCall([&] { return FindNextFileW(handle, &entry); });
  if (next.value == 0) {
    ForgetSearch(state);
    return EmptyText();
  }
  return TakeFirstPassing(state, &entry);
}
