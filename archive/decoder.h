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

// What the decoder met besides the bytes it produced. Data that a writer made
// decodes cleanly: every read delivers what it asks for, every copy takes all
// its bytes from the window, and the data ends where a token does. Anything
// else still decodes (a cut token produces what is there, a copy what the
// window holds) but is reported here.
struct EntryDecoding {
  bool shortRead;          // a read delivered fewer bytes than it asked for: the archive is cut
  bool cutToken;           // a token ran past the bytes at hand: the data ends inside it
  bool copyOutsideWindow;  // a copy from position 0, or one reaching past the newest byte
  int64_t problemOffset;   // offset in the packed data of the first such token; -1 when none
};

inline bool DecodedCleanly(const EntryDecoding& decoding) {
  return !decoding.shortRead && !decoding.cutToken && !decoding.copyOutsideWindow;
}

// Decodes the data between dataStart and dataEnd; the archive's read position
// must stand at dataStart. Writes the output front to back and closes output.
// onChunk may be null. Memory use is fixed: all buffers are on the stack.
EntryDecoding DecompressEntry(BinaryFile* archive, int32_t dataStart, int32_t dataEnd,
                              BinaryFile* output, ChunkCallback onChunk, void* context);
