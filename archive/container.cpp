// Walking the entries of a payload archive, with every header checked so that
// the walk always moves forward and stays within 32-bit positions.
#include "archive/container.h"

#include <cstring>

#include "archive/entry_name.h"
#include "archive/little_endian.h"
#include "contract/installer_contract.h"

namespace {

const int64_t kMaxPosition = kArchiveSizeLimit - 1;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

void EndWalk(ArchiveWalk* walk, bool damaged) {
  walk->finished = true;
  walk->damaged = damaged;
}

// Header, name bytes and positions of a tagged entry at position. Missing
// header bytes read as zero, so a missing name-length byte gives no name.
void ReadTaggedEntry(BinaryFile* archive, int64_t position, ArchiveEntry* entry, int64_t* dataStart,
                     int64_t* dataEnd) {
  uint8_t header[kTaggedHeaderSize] = {};
  int32_t delivered = ReadBinaryFile(archive, header, kTaggedHeaderSize);
  int32_t nameLength = delivered >= 2 ? header[1] + 1 : 0;
  int32_t packedSize = static_cast<int32_t>(ReadLe32(header + 2));
  entry->headerSize = kTaggedHeaderSize;
  entry->unpackedSize = static_cast<int32_t>(ReadLe32(header + 6));
  // A header cut before its name-length byte has no name to read. The read is
  // left out rather than made for zero bytes, which would clear the short-read
  // mark of the cut header and let the walk take the archive for complete.
  entry->storedNameLength =
      nameLength > 0
          ? ReadBinaryFile(archive, reinterpret_cast<uint8_t*>(entry->storedName), nameLength)
          : 0;
  entry->cut = delivered < kTaggedHeaderSize || entry->storedNameLength < nameLength;
  *dataStart = position + kTaggedHeaderSize + nameLength;
  // A negative packed size gives an end before the data start: refused by the caller.
  *dataEnd = *dataStart + packedSize;
}

// Header of a fixed-layout entry at position: a space-padded name and the
// decimal end position. Missing bytes shorten the name and the number.
void ReadFixedEntry(BinaryFile* archive, int64_t position, ArchiveEntry* entry, int64_t* dataStart,
                    int64_t* dataEnd) {
  uint8_t header[kFixedHeaderSize] = {};
  int32_t delivered = ReadBinaryFile(archive, header, kFixedHeaderSize);
  int32_t nameBytes = delivered < kFixedNameFieldSize ? delivered : kFixedNameFieldSize;
  int32_t endBytes = delivered - kFixedNameFieldSize;
  if (endBytes < 0) {
    endBytes = 0;
  }
  entry->headerSize = kFixedHeaderSize;
  entry->unpackedSize = -1;
  for (int32_t i = 0; i < nameBytes; ++i) {
    entry->storedName[i] = static_cast<char>(header[i]);
  }
  entry->storedNameLength = nameBytes;
  entry->cut = delivered < kFixedHeaderSize;
  *dataStart = position + kFixedHeaderSize;
  *dataEnd =
      ParseEndPosition(reinterpret_cast<const char*>(header + kFixedNameFieldSize), endBytes);
}

}  // namespace

void BeginArchiveWalk(ArchiveWalk* walk, BinaryFile* archive) {
  walk->archive = archive;
  SeekBinaryFile(archive, 0);
  uint8_t first = 0;
  int32_t delivered = ReadBinaryFile(archive, &first, 1);
  walk->layout = (delivered == 1 && first == 0x02) ? kTaggedLayout : kFixedLayout;
  walk->archiveLength = BinaryFileLength(archive);
  walk->nextPosition = 0;
  walk->entriesRead = 0;
  walk->damaged = false;
  walk->truncated = false;
  walk->finished = false;
}

bool ReadNextEntry(ArchiveWalk* walk, ArchiveEntry* entry) {
  if (walk->finished) {
    return false;
  }
  // After an entry, the walk goes on only while the archive extends past the
  // next position, and never after a read that came up short (a cut archive).
  if (walk->entriesRead > 0 && walk->archiveLength <= walk->nextPosition) {
    EndWalk(walk, false);
    return false;
  }
  if (BinaryFileAtEnd(walk->archive)) {
    EndWalk(walk, false);
    return false;
  }
  int64_t position = walk->nextPosition;
  SeekBinaryFile(walk->archive, walk->nextPosition);
  entry->position = walk->nextPosition;
  int64_t dataStart = 0;
  int64_t dataEnd = 0;
  if (walk->layout == kTaggedLayout) {
    ReadTaggedEntry(walk->archive, position, entry, &dataStart, &dataEnd);
  } else {
    ReadFixedEntry(walk->archive, position, entry, &dataStart, &dataEnd);
  }
  // The data must end no earlier than it starts and within the 32-bit range;
  // with the header before it, every step moves the walk at least 10 bytes on.
  if (dataEnd < dataStart || dataEnd > kMaxPosition) {
    EndWalk(walk, true);
    return false;
  }
  entry->dataStart = static_cast<int32_t>(dataStart);
  entry->dataEnd = static_cast<int32_t>(dataEnd);
  int32_t first = 0;
  entry->trimmedNameLength =
      TrimEntryName(entry->storedName, entry->storedNameLength, walk->layout, &first);
  memcpy(entry->trimmedName, entry->storedName + first,
         static_cast<size_t>(entry->trimmedNameLength));
  entry->trimmedName[entry->trimmedNameLength] = '\0';
  walk->nextPosition = entry->dataEnd;
  walk->entriesRead += 1;
  walk->truncated = entry->cut || entry->dataEnd > walk->archiveLength;
  return true;
}

int32_t ParseEndPosition(const char* text, int32_t length) {
  int32_t i = 0;
  while (i < length && IsBlank(text[i])) {
    ++i;
  }
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool anyDigit = false;
  int64_t whole = 0;
  for (; i < length && IsDigit(text[i]); ++i) {
    anyDigit = true;
    if (whole <= kMaxPosition) {  // saturates well beyond the 32-bit range
      whole = whole * 10 + (text[i] - '0');
    }
  }
  // Only the fraction's relation to one half matters for the rounding: its
  // first digit, and whether any later digit is non-zero.
  int32_t firstFractionDigit = 0;
  bool laterFractionDigits = false;
  if (i < length && text[i] == '.') {
    ++i;
    if (i < length && IsDigit(text[i])) {
      anyDigit = true;
      firstFractionDigit = text[i] - '0';
      for (++i; i < length && IsDigit(text[i]); ++i) {
        laterFractionDigits = laterFractionDigits || text[i] != '0';
      }
    }
  }
  if (!anyDigit) {
    return 0;
  }
  bool roundUp = firstFractionDigit > 5 ||
                 (firstFractionDigit == 5 && (laterFractionDigits || whole % 2 == 1));
  int64_t magnitude = whole + (roundUp ? 1 : 0);
  int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) {
    return INT32_MAX;
  }
  if (value < INT32_MIN) {
    return INT32_MIN;
  }
  return static_cast<int32_t>(value);
}
