// The reference model of the token format, shared by the fuzz targets and the
// host tests: written for plainness rather than speed, with byte strings for
// the input, the output and the window, and apart from the decoder itself.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The meaning of a token stream taken as a whole: literal runs cut at the end
// of the stream, copies from the last 256 produced bytes by 1-based position,
// clipped at the newest byte; position 0, a position past the window and a copy
// control byte without its position byte produce nothing.
std::vector<uint8_t> DecodeTokenStream(const uint8_t* stream, size_t length);

// One decompression of an entry as the installer runs it, step by step: chunks
// of at most 2048 bytes read from a file, decode passes that stop when fewer
// than 129 bytes are left, an output buffer written when it holds more than
// 2048 bytes. The file holds archive[0..archiveSize) and its read position
// starts at position; each read delivers what is left, at most deliveryLimit
// bytes when that is positive. Tokens split between reads only when a read
// delivers less than it asked for while more bytes follow (a limited delivery).
struct DecompressionRun {
  std::vector<int32_t> chunks;             // the requested size of every read
  std::vector<size_t> writtenBeforeChunk;  // output bytes written when each chunk was read
  std::vector<int32_t> writes;             // the size of every output write
  std::vector<uint8_t> produced;           // every byte written, in order
  size_t delivered = 0;                    // bytes the reads delivered
  bool lastReadShort = false;              // the last read delivered less than it asked
  size_t endPosition = 0;                  // the file's read position afterwards
  // The verdict: any read that delivered less than it asked; a token that ran
  // past the bytes at hand; a copy from position 0 or past the newest byte;
  // the packed offset of the first token of the latter two kinds, or -1.
  bool anyReadShort = false;
  bool cutToken = false;
  bool copyOutsideWindow = false;
  int64_t problemOffset = -1;
};

DecompressionRun SimulateDecompression(const uint8_t* archive, size_t archiveSize, size_t position,
                                       int64_t dataStart, int64_t dataEnd, int32_t deliveryLimit);
