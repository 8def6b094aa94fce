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
  int codePage;  // of the names
};

// Opens the archive and begins the walk; false (with a problem reported) when
// it cannot be read.
bool OpenArchiveForWalk(const ArchiveSource& source, OpenArchive* archive);
// The same over a whole file its caller has open and keeps open, to read it
// again; archive->buffered.seeRead, when set before, sees the bytes read.
bool BeginWalkOfOpenFile(int fd, const std::string& shown, int codePage, OpenArchive* archive);
void CloseArchive(OpenArchive* archive);

// The entry's name as the installer uses it, normalised in the archive's code
// page.
std::string TargetName(const OpenArchive& archive, const ArchiveEntry& entry);

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

// What the test of a sound archive counted.
struct ArchiveTally {
  int32_t entries;
  int64_t unpacked;  // the bytes its entries decode to
  bool hasSetup;     // an entry installs as SETUP.EXE
};
// Decodes and checks every entry of the archive open for a walk, as eek test
// does, and closes it; returns the first damage (naming the entry), or an
// empty text. (test_command.cpp)
std::string TestArchive(OpenArchive* archive, ArchiveTally* tally);
