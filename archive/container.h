// Walking the entries of a payload archive.
//
// The archive has no header, directory or trailer: a flat run of entries. Its
// first byte chooses the entry layout for the whole archive: 0x02 selects the
// tagged layout (10-byte binary header, then the name), anything else the
// fixed layout (12-byte space-padded name and an 8-character decimal end
// position). Positions and sizes are 32-bit signed, so archives stay below 2 GiB.
#pragma once

#include <cstdint>

#include "archive/binary_file.h"

enum : int32_t {
  kFixedLayout = 1,   // 20-byte header: 12-byte name, 8-byte decimal end position
  kTaggedLayout = 2,  // 10-byte header: tag, name length - 1, packed size, unpacked size
};

enum : int32_t {
  kTaggedHeaderSize = 10,
  kFixedHeaderSize = 20,
  kMaxEntryNameLength = 256,
  kFixedNameFieldSize = 12,
  kFixedEndFieldSize = 8,
};

struct ArchiveEntry {
  int32_t position;      // where the entry's header starts
  int32_t headerSize;    // 10 or 20: the bytes counted for progress when the header is read
  int32_t dataStart;     // first byte of the compressed data
  int32_t dataEnd;       // first byte after it (also the next entry's position)
  int32_t unpackedSize;  // tagged layout: the header's unpacked size; fixed layout: -1
  int32_t storedNameLength;
  char storedName[kMaxEntryNameLength];  // the name bytes as stored, not terminated
  // The stored name with the spaces the layout ignores trimmed (TrimEntryName),
  // NUL-terminated; its case as stored. The installer and eek map it to upper
  // case each in their own way (the installer with the system's mapping, or in
  // the payload's code page where its record names another; eek in the
  // target code page).
  int32_t trimmedNameLength;
  char trimmedName[kMaxEntryNameLength + 1];
  // The header or the name ran into the end of the archive: the name is a
  // fragment and the entry is no file of the archive's maker.
  bool cut;
};

struct ArchiveWalk {
  BinaryFile* archive;
  int32_t layout;
  int64_t archiveLength;
  int32_t nextPosition;  // position of the entry to read next
  int32_t entriesRead;
  // Set when the walk ended on a header that would move it backwards, keep it
  // in place or carry a position past 2 GiB; nothing of that entry is handed out.
  bool damaged;
  // Set when an entry handed out was cut by the end of the archive: in its
  // header, its name or its data. The walk ends after that entry.
  bool truncated;
  bool finished;
};

// Reads the first byte of the archive at position 0 to choose the layout, and
// the archive's length. An empty or unreadable archive yields no entries.
void BeginArchiveWalk(ArchiveWalk* walk, BinaryFile* archive);

// Reads the next entry's header and name, trims the name and leaves the
// archive's read position at the entry's data start. Returns false when the
// walk has ended: a short read, the end of the archive, or a damaged header.
// The caller decodes the data (DecodeNextPiece) before asking for the next entry.
bool ReadNextEntry(ArchiveWalk* walk, ArchiveEntry* entry);

// The fixed layout's end position: leading blanks (space, tab, CR, LF), an
// optional sign, digits and an optional fraction, rounded to the nearest
// integer with halves to even. A field without a number reads as 0. Values
// beyond the 32-bit range are clamped to it.
int32_t ParseEndPosition(const char* text, int32_t length);
