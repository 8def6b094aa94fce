// BinaryFile operations for the archive tool: the archive and the output files
// go through a large buffer, so that the decoder's 2 KB reads and writes cost a
// copy instead of a system call each.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "archive/binary_file.h"

enum : int32_t { kHostFileBufferSize = 256 * 1024 };

struct BufferedFile {
  int fd;  // -1 once closed
  std::vector<uint8_t> buffer;
  int64_t bufferPosition;  // the file position of buffer[0]
  int32_t bufferFill;      // reading: bytes held; writing: bytes not yet written
  int32_t cursor;          // reading: the next byte to deliver
  int64_t base;            // reading: where the bytes read start in the file
  int64_t length;          // reading: their length, the file's rest unless given
  int64_t bytesWritten;    // everything handed to write
  bool writing;
  bool keepOpen;  // the descriptor belongs to the caller: closing only flushes
  bool closed;
  bool failed;  // a read, write, seek or close went wrong; error says why
  std::string error;
  // Reading: when set (before the reader is attached), given the bytes read
  // from the descriptor that follow on the ones given before, so that a reader
  // that reads the file in order hands every byte of it over once, in order;
  // seenUpTo tells how far that got (a reader that skipped ahead stops it).
  std::function<void(const uint8_t* bytes, size_t count)> seeRead;
  int64_t seenUpTo;
};

// Each fills file with operations on buffered, which must outlive the file;
// a record may be attached again once its file is closed, keeping its buffer.
// The descriptor is owned from then on and closed by CloseBinaryFile.
// A reader reads the file, or the length bytes from base on (an installer's
// payload), as a file of their own.
void AttachBufferedReader(BufferedFile* buffered, int fd, BinaryFile* file, int64_t base = 0,
                          int64_t length = -1);
// A writer over an output (output_file.h), whose descriptor the output keeps,
// is attached with keepOpen.
void AttachBufferedWriter(BufferedFile* buffered, int fd, BinaryFile* file, bool keepOpen = false);
