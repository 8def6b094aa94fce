// An in-memory BinaryFile for tests: it records every read, write, seek and
// close, and can deliver fewer bytes per read than asked, as a pipe would.
// And an entry decoded into memory, as the decoder hands it to its caller.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "archive/binary_file.h"
#include "archive/decoder.h"

struct MemoryFile {
  std::vector<uint8_t> bytes;
  size_t position = 0;
  // At most this many bytes per read when non-negative.
  int32_t deliveryLimit = -1;
  std::vector<int32_t> readSizes;  // the sizes asked for
  std::vector<int32_t> writeSizes;
  std::vector<int32_t> seeks;
  int32_t closeCount = 0;
};

// A BinaryFile whose operations act on memory; it stays valid while memory lives.
BinaryFile OpenMemoryFile(MemoryFile* memory);

std::vector<uint8_t> BytesOf(const std::string& text);
std::vector<uint8_t> BytesOfHex(const std::string& hex);  // "02 09 1C ..."

// One entry's data decoded whole: the pieces as the decoder handed them out,
// and what its chunk callback was told.
struct DecodedEntry {
  std::vector<uint8_t> bytes;  // every piece, in order
  std::vector<int32_t> pieceSizes;
  // Where each piece lay in the caller's output area; -1 for one outside it.
  std::vector<int64_t> pieceOffsets;
  // For each piece in the area: whether the area in front of it, from its
  // start, held the output's bytes just before the piece, as a fill from the
  // area's start (or from a compaction that kept the window) leaves it.
  std::vector<bool> areaLeadsUpToPiece;
  std::vector<int32_t> chunkSizes;
  std::vector<size_t> bytesBeforeChunk;  // bytes handed out when each chunk was told
  EntryDecoding report = {};
};

// Decodes archive[dataStart..dataEnd); the archive's read position must stand
// at dataStart. With areaSize > 0 the decoder produces into an output area of
// that many bytes that the caller owns, otherwise into its own.
DecodedEntry DecodeEntry(BinaryFile* archive, int32_t dataStart, int32_t dataEnd,
                         int32_t areaSize = 0);
