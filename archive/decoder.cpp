// Entry decompression.
//
// The produced bytes live in one output area: the history window (the last
// bytes produced, at most 256) immediately followed by the bytes not yet
// handed out. A copy token therefore reads from just behind the write point
// and never from its own output. A piece is handed out where it lies; when
// the area has no room left for another piece, the last 256 bytes move to its
// front. Copies and literal runs move whole 16-byte blocks; the input buffer
// and the area have room for the bytes a block reads or writes past the end
// of a token, which are overwritten later or never used.
//
// Once the window is full (256 bytes produced), a copy that a writer made
// takes all its bytes from it, so the decode loop advances the output by the
// token's length before it has read the token's position: the position only
// chooses where the bytes come from. Copies that would be clipped leave that
// loop for the general one.
//
// Two routines move the blocks: 16-byte vector moves, and plain moves of
// machine words for processors without vector registers. BeginEntryDecoding
// takes the vector one where the processor has it (decoder_routine.h).
#include "archive/decoder.h"

#include <cstring>

#include "archive/decoder_routine.h"

namespace {

const size_t kBlockSize = 16;
// A token reads or writes at most this far past its start: two blocks, or
// the longest copy rounded up to whole blocks.
static_assert(kOutputAreaMargin >= 2 * kBlockSize &&
                  kOutputAreaMargin >= (kMaxCopyLength + kBlockSize - 1) / kBlockSize * kBlockSize,
              "the area's margin holds a token's block writes");
static_assert(kDecoderInputCapacity - kReadChunkSize - (kRefillThreshold - 1) >= 2 * kBlockSize,
              "the input holds a literal run's block reads");

// A 16-byte block in a vector register, read and written at any alignment.
typedef uint8_t VectorBlock __attribute__((vector_size(16), aligned(1), may_alias));

struct VectorMoves {
  static inline __attribute__((always_inline)) void CopyBlock(uint8_t* destination,
                                                              const uint8_t* source) {
    VectorBlock block = *reinterpret_cast<const VectorBlock*>(source);
    *reinterpret_cast<VectorBlock*>(destination) = block;
  }
  static inline __attribute__((always_inline)) void CopyTwoBlocks(uint8_t* destination,
                                                                  const uint8_t* source) {
    VectorBlock first = *reinterpret_cast<const VectorBlock*>(source);
    VectorBlock second = *reinterpret_cast<const VectorBlock*>(source + kBlockSize);
    *reinterpret_cast<VectorBlock*>(destination) = first;
    *reinterpret_cast<VectorBlock*>(destination + kBlockSize) = second;
  }
};

// A 16-byte block as machine words, each moved on its own (a block moved as
// one would become a string instruction, which is slow to start), all loaded
// before any is stored.
struct WordMoves {
  template <size_t bytes>
  static inline __attribute__((always_inline)) void Copy(uint8_t* destination,
                                                         const uint8_t* source) {
    const size_t kWord = sizeof(uintptr_t);
    uintptr_t words[bytes / kWord];
    for (size_t k = 0; k < bytes / kWord; ++k) {
      memcpy(&words[k], source + k * kWord, kWord);
    }
    for (size_t k = 0; k < bytes / kWord; ++k) {
      memcpy(destination + k * kWord, &words[k], kWord);
    }
  }
  static inline __attribute__((always_inline)) void CopyBlock(uint8_t* destination,
                                                              const uint8_t* source) {
    Copy<kBlockSize>(destination, source);
  }
  static inline __attribute__((always_inline)) void CopyTwoBlocks(uint8_t* destination,
                                                                  const uint8_t* source) {
    Copy<2 * kBlockSize>(destination, source);
  }
};

// Copies count bytes (0 to 131) in whole blocks: at least two, so up to 32
// bytes are read and written whatever the count. The source may lie behind
// the destination as long as its first count bytes end at or before the
// destination: those bytes are never written by the copy itself, and each
// block is loaded before it is stored.
template <typename Moves>
inline __attribute__((always_inline)) void CopyBlocks(uint8_t* destination, const uint8_t* source,
                                                      int32_t count) {
  // Most tokens are short: two blocks cover them without a loop. Both are
  // loaded before either is stored: a copy from fewer than 32 bytes back
  // would otherwise load part of its first store, and a load that overlaps a
  // store still on its way to the cache waits until the store gets there.
  Moves::CopyTwoBlocks(destination, source);
  for (int32_t done = 2 * kBlockSize; done < count; done += kBlockSize) {
    // Keeps the compiler from turning the loop into a library call, which is
    // far slower for the short copies of this format.
    __asm__("" : "+r"(done));
    Moves::CopyBlock(destination + done, source + done);
  }
}

// Records a cut token or a copy outside the window at input position i.
__attribute__((noinline)) void NoteProblem(EntryDecoder* decoder, int32_t i, bool cut) {
  EntryDecoding* decoding = &decoder->decoding;
  if (decoding->problemOffset < 0) {
    decoding->problemOffset = decoder->inputOffset + i;
  }
  if (cut) {
    decoding->cutToken = true;
  } else {
    decoding->copyOutsideWindow = true;
  }
}

// Produces the bytes of a copy token of length n from window position q
// (1-based) at end and returns how many it produced: fewer than n when the
// copy reaches outside the window.
template <typename Moves>
inline __attribute__((always_inline)) int32_t ProduceCopy(const uint8_t* area, uint8_t* end,
                                                          int32_t n, int32_t q) {
  intptr_t windowLength = end - area;
  if (windowLength > kHistoryWindowSize) {
    windowLength = kHistoryWindowSize;
  }
  // Position 0, or one beyond the window, produces nothing.
  if (static_cast<uintptr_t>(q - 1) >= static_cast<uintptr_t>(windowLength)) {
    return 0;
  }
  int32_t available = static_cast<int32_t>(windowLength) - q + 1;
  int32_t count = n < available ? n : available;
  CopyBlocks<Moves>(end, end - available, count);
  return count;
}

// Decodes the token at input[i] to end, whatever the window holds. With whole
// set, the caller guarantees that the token lies inside the input; otherwise a
// literal run is cut at the end of the input (length m) and a copy without its
// position byte produces nothing. Returns the position after the token, which
// may lie beyond m.
template <typename Moves, bool whole>
inline __attribute__((always_inline)) int32_t DecodeToken(EntryDecoder* decoder,
                                                          const uint8_t* input, int32_t i,
                                                          int32_t m, uint8_t** end) {
  int32_t t = input[i];
  int32_t produced = 0;
  if (t < 0x80) {
    produced = t + 1;
    if (!whole && produced > m - i - 1) {
      produced = m - i - 1;
      NoteProblem(decoder, i, true);
    }
    CopyBlocks<Moves>(*end, input + i + 1, produced);
    i += t + 2;
  } else {
    if (whole || i + 1 < m) {
      produced = ProduceCopy<Moves>(decoder->area, *end, t - 124, input[i + 1]);
      if (produced != t - 124) {
        NoteProblem(decoder, i, false);
      }
    } else {
      NoteProblem(decoder, i, true);
    }
    i += 2;
  }
  *end += produced;
  return i;
}

// Hands out the pending bytes before the token that starts at tokenStart,
// once they are more than the flush threshold: keeps where the pass stands
// and returns the piece's length, or 0 while the piece is not full.
inline __attribute__((always_inline)) int32_t EndToken(EntryDecoder* decoder, uint8_t* tokenStart,
                                                       uint8_t* end, uint8_t** pending, int32_t i) {
  if (tokenStart - *pending <= kFlushThreshold) {
    return 0;
  }
  decoder->piece = *pending;
  decoder->pending = tokenStart;
  decoder->end = end;
  decoder->tokenAt = i;
  return static_cast<int32_t>(tokenStart - *pending);
}

// Goes on with the open decode pass over input[0..m): the first token whatever
// remains, then tokens while at least kRefillThreshold bytes are left, so that
// none of them can run past the input. Stops when a piece is ready (returns
// its length; the pass stays open) or when the pass is over (returns 0).
template <typename Moves>
inline __attribute__((always_inline)) int32_t DecodeTokens(EntryDecoder* decoder) {
  const uint8_t* input = decoder->input;
  const int32_t m = decoder->inputLength;
  const uint8_t* area = decoder->area;
  uint8_t* end = decoder->end;
  uint8_t* pending = decoder->pending;
  int32_t i = decoder->tokenAt;
  int32_t piece = 0;
  if (decoder->mode == kPassFirstToken) {
    decoder->mode = kPassTokens;
    uint8_t* tokenStart = end;
    i = DecodeToken<Moves, false>(decoder, input, i, m, &end);
    if ((piece = EndToken(decoder, tokenStart, end, &pending, i)) != 0) {
      return piece;
    }
  }
  while (m - i >= kRefillThreshold && end - area < kHistoryWindowSize) {
    uint8_t* tokenStart = end;
    i = DecodeToken<Moves, true>(decoder, input, i, m, &end);
    if ((piece = EndToken(decoder, tokenStart, end, &pending, i)) != 0) {
      return piece;
    }
  }
  // The window is full now or the pass is over; a full window stays full, as
  // a compaction keeps its 256 bytes.
  const uint8_t* last = input + m - kRefillThreshold;  // the last token start of the pass
  const uint8_t* token = input + i;
  while (token <= last) {
    int32_t t = token[0];
    uint8_t* tokenStart = end;
    if (t < 0x80) {
      CopyBlocks<Moves>(end, token + 1, t + 1);
      end += t + 1;
      token += t + 2;
    } else {
      int32_t n = t - 124;
      int32_t q = token[1];
      // Positions 1 to 257 - n hold the whole copy; anything else is clipped.
      if (static_cast<uint32_t>(q - 1) > static_cast<uint32_t>(kHistoryWindowSize - n)) {
        token = input + DecodeToken<Moves, true>(decoder, input,
                                                 static_cast<int32_t>(token - input), m, &end);
      } else {
        CopyBlocks<Moves>(end, end - (kHistoryWindowSize + 1) + q, n);
        end += n;
        token += 2;
      }
    }
    if ((piece = EndToken(decoder, tokenStart, end, &pending,
                          static_cast<int32_t>(token - input))) != 0) {
      return piece;
    }
  }
  decoder->tokenAt = static_cast<int32_t>(token - input);
  decoder->end = end;
  decoder->pending = pending;
  decoder->mode = kReadNextChunk;
  return 0;
}

int32_t DecodeTokensWithWords(EntryDecoder* decoder) {
  return DecodeTokens<WordMoves>(decoder);
}

#if defined(__i386__)
// The vector moves need SSE2, which not every processor that runs the 32-bit
// installer has: this routine is compiled for it and chosen at run time.
__attribute__((target("sse2")))
#endif
int32_t
DecodeTokensWithVectors(EntryDecoder* decoder) {
  return DecodeTokens<VectorMoves>(decoder);
}

// Keeps only the window, which holds the bytes not yet handed out, and moves
// it to the front of the area.
void CompactArea(EntryDecoder* decoder) {
  uint8_t* keep = decoder->end - kHistoryWindowSize;
  if (keep < decoder->area) {
    keep = decoder->area;
  }
  intptr_t moved = keep - decoder->area;
  memmove(decoder->area, keep, static_cast<size_t>(decoder->end - keep));
  decoder->pending -= moved;
  decoder->end -= moved;
}

}  // namespace

void BeginEntryDecoding(EntryDecoder* decoder, BinaryFile* archive, int32_t dataStart,
                        int32_t dataEnd, ChunkCallback onChunk, void* context, uint8_t* area,
                        int32_t areaSize) {
  decoder->archive = archive;
  decoder->nextChunk = dataStart;
  decoder->dataEnd = dataEnd;
  decoder->onChunk = onChunk;
  decoder->context = context;
  decoder->decodeTokens = ActiveDecoderRoutine() == kVectorDecoderRoutine ? DecodeTokensWithVectors
                                                                          : DecodeTokensWithWords;
  decoder->mode = kReadNextChunk;
  decoder->inputLength = 0;
  decoder->tokenAt = 0;
  decoder->inputOffset = 0;
  if (area == nullptr || areaSize < kMinOutputArea) {
    area = decoder->ownArea;
    areaSize = kMinOutputArea;
  }
  decoder->area = area;
  decoder->areaSize = areaSize;
  decoder->pending = area;
  decoder->end = area;
  decoder->piece = area;
  decoder->decoding = EntryDecoding{false, false, false, -1};
}

int32_t DecodeNextPiece(EntryDecoder* decoder, const uint8_t** bytes) {
  if (decoder->mode == kAllDecoded) {
    return 0;
  }
  // The next piece and the token after it must fit behind the pending bytes.
  if (decoder->area + decoder->areaSize - decoder->pending < kMaxPieceSize + kOutputAreaMargin) {
    CompactArea(decoder);
  }
  uint8_t* input = decoder->input;
  for (;;) {
    if (decoder->mode == kReadNextChunk) {
      // The undecoded rest of the last pass (fewer than 129 bytes) moves to
      // the front, and the next chunk follows it.
      int32_t left =
          decoder->tokenAt < decoder->inputLength ? decoder->inputLength - decoder->tokenAt : 0;
      memmove(input, input + (decoder->inputLength - left), static_cast<size_t>(left));
      decoder->inputOffset += decoder->inputLength - left;
      decoder->inputLength = left;
      decoder->tokenAt = 0;
      if (decoder->dataEnd > decoder->nextChunk) {
        int64_t rest = decoder->dataEnd - decoder->nextChunk;
        int32_t chunk = rest > kReadChunkSize ? kReadChunkSize : static_cast<int32_t>(rest);
        int32_t delivered = ReadBinaryFile(decoder->archive, input + left, chunk);
        decoder->inputLength += delivered;
        decoder->decoding.shortRead = decoder->decoding.shortRead || delivered < chunk;
        decoder->nextChunk += chunk;  // also after a short read, so a cut archive still ends
        if (decoder->onChunk != nullptr) {
          decoder->onChunk(decoder->context, chunk);
        }
      }
      if (decoder->inputLength == 0) {
        // All decoded (a cut archive's data too): what is still pending is
        // the last piece.
        decoder->mode = kAllDecoded;
        *bytes = decoder->pending;
        return static_cast<int32_t>(decoder->end - decoder->pending);
      }
      decoder->mode = kPassFirstToken;
    }
    int32_t length = decoder->decodeTokens(decoder);
    if (length > 0) {
      *bytes = decoder->piece;
      return length;
    }
  }
}
