// The walk over an existing archive that list, test and extract share: opening
// it through the buffered reader, decoding an entry to learn its size, and
// telling where the walk met damage.
#pragma once

#include <string>

#include "archive/container.h"
#include "archive/decoder.h"
#include "tools/eek/buffered_file.h"
#include "tools/eek/commands.h"

struct OpenArchive {
  BufferedFile buffered;
  BinaryFile file;
  ArchiveWalk walk;
  std::string path;
};

// Opens the archive and begins the walk; false (with a problem reported) when
// it cannot be read.
bool OpenArchiveForWalk(const ArchiveSource& source, OpenArchive* archive);
void CloseArchive(OpenArchive* archive);

// The entry's name as the installer uses it, normalised in the target code page.
std::string TargetName(const ArchiveEntry& entry);

// Decodes the entry's data only to learn its size: returns the bytes it
// decodes to, with what the decoder met in decoder->decoding.
int64_t CountDecodedBytes(OpenArchive* archive, const ArchiveEntry& entry, EntryDecoder* decoder);

// "entry 3 (SETUP.EXE) at position 1234", 1-based as a person counts.
std::string DescribeEntry(const OpenArchive& archive, const ArchiveEntry& entry);

// The damage visible in an entry's header before its data is read: the header
// or name cut off by the end of the archive, or data that runs past the end.
// Empty when there is none.
std::string FindHeaderDamage(const OpenArchive& archive, const ArchiveEntry& entry);

// After the walk has ended: a header that would move the walk backwards or
// past 2 GiB, or bytes left over after the last entry. Empty when the entries end exactly
// where the archive does.
std::string FindWalkEndDamage(const OpenArchive& archive);
