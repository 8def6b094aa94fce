// Binary file access shared by the archive walk, the decoder, the extraction
// and the archive writer.
//
// A BinaryFile is opened by a platform routine (the guarded Windows calls of
// the installer's extraction, eek's buffered files and writer thread, byte
// buffers or POSIX calls in tests, fuzzers and benchmarks) which fills in the
// operation table. The routines below keep the short-read mark and the behaviour
// of a file that could not be opened identical on every platform.
#pragma once

#include <cstdint>

struct BinaryFileOps {
  // Transfers up to count bytes at the current position and returns how many
  // were transferred (0..count), advancing the position by that many.
  int32_t (*read)(void* handle, uint8_t* bytes, int32_t count);
  int32_t (*write)(void* handle, const uint8_t* bytes, int32_t count);
  // Moves the position to a 0-based byte offset from the start of the file.
  void (*seek)(void* handle, int32_t position);
  // The file's size in bytes.
  int64_t (*length)(void* handle);
  void (*close)(void* handle);
};

struct BinaryFile {
  // Null while the file is not open (it could not be opened, or was closed):
  // every operation then fails, reads deliver nothing, the length is 0 and
  // at-end is true.
  const BinaryFileOps* ops;
  void* handle;
  // Set by a read that delivered fewer bytes than it asked for; cleared by any
  // other read, a write or a seek.
  bool shortRead;
};

// A file that is not open, as left by a failed open.
BinaryFile UnopenedBinaryFile();

bool IsBinaryFileOpen(const BinaryFile* file);
int32_t ReadBinaryFile(BinaryFile* file, uint8_t* bytes, int32_t count);
int32_t WriteBinaryFile(BinaryFile* file, const uint8_t* bytes, int32_t count);
void SeekBinaryFile(BinaryFile* file, int32_t position);
int64_t BinaryFileLength(const BinaryFile* file);
bool BinaryFileAtEnd(const BinaryFile* file);
void CloseBinaryFile(BinaryFile* file);

// False for an empty path and for one that holds "*" or "?": the platforms'
// openers refuse such paths before any system call.
bool IsOpenablePath(const char* path);
