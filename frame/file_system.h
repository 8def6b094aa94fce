// File-system services of the installer. The installer lists, deletes, creates
// and changes directories only through these; their filters decide which files
// survive the clearing of a folder. Paths are ANSI texts, converted to UTF-16
// for the system from the system's ANSI code page unless the call names
// another.
#pragma once

#include <cstdint>

#include "frame/ansi_text.h"

// Attribute filter bits, as in the system's file attributes.
enum : uint32_t {
  kHiddenEntries = 0x02,
  kSystemEntries = 0x04,
  kDirectoryEntries = 0x10,
};

enum : int32_t {
  kSearchPathLimit = 256,     // UTF-16 units kept of a search pattern
  kDirectoryPathLimit = 255,  // UTF-16 units kept of a directory path
};

// Opens the calling thread's search for pattern (replacing its previous one)
// and returns the name, without folder, of the first entry that passes filter:
// hidden and system entries and directories only when the filter holds their
// bit, "." and ".." never. Returns an empty text when there is none. A pattern
// ending in ":" or "\" lists that folder ("*.*" is appended). An empty pattern
// continues the open search like FindNextName.
AnsiText FindFirstName(const AnsiText& pattern, uint32_t filter);

// The next name of the calling thread's open search; an empty text when it is
// exhausted (the search is then closed) or when no search is open.
AnsiText FindNextName();

// Deletes the plain files matching pattern, in the order the system lists
// them, with a search of its own. Hidden, system and volume-label entries and
// directories are left. The first deletion that fails ends the walk and is
// recorded; a pattern that matches nothing records file-not-found. The pattern
// is written in codePage (0: the system's ANSI code page).
void DeleteMatchingFiles(const AnsiText& pattern, uint32_t codePage = 0);

// Creates the one directory path (its parent must exist). A path with "*" or
// "?" records path-not-found and makes no system call; a failure of the
// creation, such as an existing directory, is recorded.
void MakeDirectory(const AnsiText& path);

// Makes path the current directory of the process. A path with "*" or "?"
// records path-not-found and makes no system call; a failure is recorded.
void ChangeDirectory(const AnsiText& path);
