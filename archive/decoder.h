// Decompression of one archive entry.
//
// The compressed data is a stream of tokens: a control byte t < 0x80 is a
// literal run of the t + 1 bytes that follow; t >= 0x80 copies t - 124 bytes
// (4 to 131) from a 256-byte history window, starting at the 1-based window
// position in the next byte. The data is read in chunks of at most 2048 bytes
// and the output written in pieces of 2049 to 2179 bytes (the last one shorter).
#pragma once

#include <cstdint>

#include "archive/binary_file.h"

enum : int32_t {
  kReadChunkSize = 2048,
  kHistoryWindowSize = 256,
  kRefillThreshold = 129,  // the largest token: a literal run of 128 bytes
  kFlushThreshold = 2048,  // the output is written when it holds more than this
  kMaxCopyLength = 131,
  kMinCopyLength = 4,
  kMaxLiteralRun = 128,
};

// Called with the requested size of every chunk right after it has been read
// and before any of its tokens is decoded.
typedef void (*ChunkCallback)(void* context, int32_t chunkSize);

// Decodes the data between dataStart and dataEnd; the archive's read position
// must stand at dataStart. Writes the output front to back and closes output.
// onChunk may be null. Memory use is fixed: all buffers are on the stack.
void DecompressEntry(BinaryFile* archive, int32_t dataStart, int32_t dataEnd, BinaryFile* output,
                     ChunkCallback onChunk, void* context);
