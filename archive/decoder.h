// Decompression of one archive entry, handed to the caller piece by piece.
//
// The compressed data is a stream of tokens: a control byte t < 0x80 is a
// literal run of the t + 1 bytes that follow; t >= 0x80 copies t - 124 bytes
// (4 to 131) from a 256-byte history window, starting at the 1-based window
// position in the next byte. The data is read in chunks of at most 2048 bytes
// and the output handed out in pieces of 2049 to 2179 bytes (the last one
// of 1 to 2179), which the caller writes as they come.
#pragma once

#include <cstdint>

#include "archive/binary_file.h"

enum : int32_t {
  kReadChunkSize = 2048,
  kHistoryWindowSize = 256,
  kRefillThreshold = 129,  // the largest token: a literal run of 128 bytes
  kFlushThreshold = 2048,  // a piece is handed out once more than this is pending
  kMaxCopyLength = 131,
  kMinCopyLength = 4,
  kMaxLiteralRun = 128,
  kMaxPieceSize = kFlushThreshold + kMaxCopyLength,
  // The undecoded rest of a pass (fewer than 129 bytes), one full chunk, and
  // room for the 16-byte blocks the decoder reads past a token's end.
  kDecoderInputCapacity = kRefillThreshold - 1 + kReadChunkSize + 32,
  // What the produced bytes need beyond the window and a whole piece: the
  // token after the piece and the blocks written past a token's end. An
  // output area of kHistoryWindowSize + kMaxPieceSize + kOutputAreaMargin
  // bytes is the least the decoder works with (its own).
  kOutputAreaMargin = kMaxCopyLength + 32,
  kMinOutputArea = kHistoryWindowSize + kMaxPieceSize + kOutputAreaMargin,
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

// Where DecodeNextPiece goes on when it is called next.
enum DecoderMode : int32_t {
  kReadNextChunk,   // no pass is open: the undecoded rest moves up, a chunk follows it
  kPassFirstToken,  // a pass is open at its first token, decoded whatever remains
  kPassTokens,      // a pass is open after its first token, with tokens that lie whole
  kAllDecoded,      // a read left nothing to decode: 0 from now on
};

// One entry's decoding, owned by the caller (about 5 KB). It points into
// itself once begun, so it cannot be copied: it stays where it was declared.
// Its fields are the decoder's; the caller reads only decoding, which is
// complete once DecodeNextPiece has returned 0.
struct EntryDecoder {
  EntryDecoder() = default;
  EntryDecoder(const EntryDecoder&) = delete;
  EntryDecoder& operator=(const EntryDecoder&) = delete;

  BinaryFile* archive;
  int64_t nextChunk;  // the data position of the next read
  int64_t dataEnd;
  ChunkCallback onChunk;
  void* context;
  int32_t (*decodeTokens)(EntryDecoder* decoder);  // the active routine's
  DecoderMode mode;
  // Input: input[tokenAt..inputLength) is undecoded; inputOffset is the
  // packed data offset of input[0].
  int32_t inputLength;
  int32_t tokenAt;
  int64_t inputOffset;
  // Produced bytes, in the output area: the window (the last 256 bytes
  // before end, or all since area[0]) and the bytes not yet handed out,
  // pending..end; piece is the start of the piece being handed out.
  uint8_t* area;
  int32_t areaSize;
  uint8_t* pending;
  uint8_t* end;
  const uint8_t* piece;
  EntryDecoding decoding;
  uint8_t input[kDecoderInputCapacity];
  uint8_t ownArea[kMinOutputArea];
};

// Begins decoding the data between dataStart and dataEnd; the archive's read
// position must stand at dataStart, and the reads follow on from there
// without seeking. onChunk may be null.
//
// The bytes are produced into an output area: the decoder's own when area is
// null (or smaller than kMinOutputArea), otherwise area[0..areaSize), which
// the decoder uses until the entry is done. A caller that lets the bytes be
// produced where they end up (an area that holds the whole output plus
// kMinOutputArea) gets every piece at its final place: the area is then
// never compacted, and the pieces lie one after another from area[0] on.
// In a smaller area the last 256 bytes move to its front now and then, over
// bytes already handed out.
void BeginEntryDecoding(EntryDecoder* decoder, BinaryFile* archive, int32_t dataStart,
                        int32_t dataEnd, ChunkCallback onChunk, void* context,
                        uint8_t* area = nullptr, int32_t areaSize = 0);

// Decodes on until the next piece is ready, sets *bytes to it and returns its
// length: more than kFlushThreshold and at most kMaxPieceSize bytes, the last
// piece of an entry 1 to kMaxPieceSize; 0 once the data is all decoded (at
// once for an entry without packed bytes, which reads nothing), and 0 again,
// without reading, on every later call. The piece stays valid until the next
// call. Each chunk is read, and reported to onChunk, before any of its tokens
// is decoded, and only after every piece produced before it has been handed
// out; a read that falls short still counts its whole chunk, so a cut archive
// ends after at most one read per 2048 packed bytes.
int32_t DecodeNextPiece(EntryDecoder* decoder, const uint8_t** bytes);
