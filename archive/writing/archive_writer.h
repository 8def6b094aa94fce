// Writing payload archives in the tagged layout (the layout the installer
// carries): entry by entry, straight into the output file, so that no more
// than one entry's input and packed data are held in memory.
//
// Every entry gets the tag 0x02, its name length less one, the exact packed
// and unpacked sizes (little-endian 32-bit), the name and the packed data.
// Names hold 1 to 256 bytes; the whole archive stays below 2 GiB.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/binary_file.h"
#include "archive/writing/encoder.h"
#include "contract/installer_contract.h"

struct ArchiveWriter {
  BinaryFile* output;
  int64_t archiveSize;  // bytes written so far, which is where the next entry starts
  int32_t entryCount;
  // Set when a write fell short: the archive on disk is incomplete and every
  // further entry is refused.
  bool failed;
};

// Starts an archive in output, an open file that must be empty (the entries
// are written from its position 0 on). Returns false with a message in error,
// and the writer refusing every entry, when the file is not open or not empty.
bool BeginArchiveWriter(ArchiveWriter* writer, BinaryFile* output, std::string* error);

// True for a name the tagged layout can hold: 1 to 256 bytes. Otherwise false
// with a message in error.
bool CheckEntryName(const std::string& name, std::string* error);

// Compresses data[0..length) and appends it as the entry name. onProgress (may
// be null) hears the input bytes of this entry compressed so far. Returns false
// with a message in error for a name the layout cannot hold, an input of 2 GiB
// or more, an entry that would make the archive 2 GiB or longer (these leave
// the archive as it was), and a failed write (which leaves it incomplete).
bool WriteArchiveEntry(ArchiveWriter* writer, const std::string& name, const uint8_t* data,
                       size_t length, CompressProgressCallback onProgress, void* context,
                       std::string* error);

// The blocks of a streamed entry: the compression holds about three of them.
const size_t kStreamBlockSize = size_t{16} << 20;

// The same as WriteArchiveEntry for an input read in blocks (CompressStream),
// so that memory stays bounded whatever its length; the entry's bytes equal
// WriteArchiveEntry's. A failure after the header was written (a read or
// write failure, an input that changed) leaves the archive incomplete.
bool WriteStreamedArchiveEntry(ArchiveWriter* writer, const std::string& name,
                               const InputStream& input, CompressProgressCallback onProgress,
                               void* context, std::string* error);
