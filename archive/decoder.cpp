// Entry decompression.
//
// The produced bytes live in one array: the history window (the last bytes
// produced, at most 256) immediately followed by the output not yet written.
// A copy token therefore reads from just behind the write point and never
// from its own output, and a flush writes the pending part and then moves the
// last 256 bytes to the front. Copies and literal runs move whole 16-byte
// blocks; the arrays have room for the bytes a block writes or reads past the
// end of a token, which are overwritten later or never used.
//
// Once the window is full (256 bytes produced), a copy that a writer made
// takes all its bytes from it, so the decode loop advances the output by the
// token's length before it has read the token's position: the position only
// chooses where the bytes come from. Copies that would be clipped leave that
// loop for the general one.
//
// Two routines move the blocks: 16-byte vector moves, and plain moves of
// machine words for processors without vector registers. DecompressEntry
// uses the vector one where the processor has it (decoder_routine.h).
#include "archive/decoder.h"

#include <cstring>

#include "archive/decoder_routine.h"

namespace {

const size_t kBlockSize = 16;
const int32_t kSlack = 2 * kBlockSize;
// The undecoded rest of a pass (fewer than 129 bytes) and one full chunk.
const int32_t kInputCapacity = kRefillThreshold - 1 + kReadChunkSize + kSlack;
// The window, the pending output before a flush (at most 2048 + 131 bytes) and
// the token that triggers the flush.
const int32_t kOutputCapacity = kHistoryWindowSize + kFlushThreshold + 2 * kMaxCopyLength + kSlack;

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

// The produced bytes: window and pending output at the front of one array.
struct OutputState {
  uint8_t* front;    // the oldest byte kept; until the window is full, its first byte
  uint8_t* pending;  // the first byte not yet written
  uint8_t* end;      // one past the newest byte produced
  BinaryFile* file;
  int64_t inputOffset;  // offset in the packed data of the input buffer's first byte
  EntryDecoding* decoding;
};

// Records a cut token or a copy outside the window at input position i.
__attribute__((noinline)) void NoteProblem(OutputState* out, int32_t i, bool cut) {
  EntryDecoding* decoding = out->decoding;
  if (decoding->problemOffset < 0) {
    decoding->problemOffset = out->inputOffset + i;
  }
  if (cut) {
    decoding->cutToken = true;
  } else {
    decoding->copyOutsideWindow = true;
  }
}

// Writes the pending bytes that precede the current token (which ends at end),
// then keeps only the window, which holds the token's bytes, at the front.
// Returns how far the kept bytes moved towards the front.
__attribute__((noinline)) intptr_t FlushOutput(BinaryFile* file, uint8_t* front,
                                               const uint8_t* pending, const uint8_t* tokenStart,
                                               const uint8_t* end) {
  WriteBinaryFile(file, pending, static_cast<int32_t>(tokenStart - pending));
  const uint8_t* keep = end - kHistoryWindowSize;
  if (keep < front) {
    keep = front;
  }
  memmove(front, keep, static_cast<size_t>(end - keep));
  return keep - front;
}

// Appends the token's bytes, from tokenStart to end, to the output: when the
// output held more than the flush threshold before them, it is written first.
inline __attribute__((always_inline)) void EndToken(OutputState* out, uint8_t* tokenStart,
                                                    uint8_t** end, uint8_t** pending) {
  if (tokenStart - *pending > kFlushThreshold) {
    intptr_t moved = FlushOutput(out->file, out->front, *pending, tokenStart, *end);
    *pending = tokenStart - moved;
    *end -= moved;
  }
}

// Produces the bytes of a copy token of length n from window position q
// (1-based) at end and returns how many it produced: fewer than n when the
// copy reaches outside the window.
template <typename Moves>
inline __attribute__((always_inline)) int32_t ProduceCopy(const uint8_t* front, uint8_t* end,
                                                          int32_t n, int32_t q) {
  intptr_t windowLength = end - front;
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

// Decodes the token at input[i], whatever the window holds. With whole set,
// the caller guarantees that the token lies inside the input; otherwise a
// literal run is cut at the end of the input (length m) and a copy without its
// position byte produces nothing. Returns the position after the token, which
// may lie beyond m.
template <typename Moves, bool whole>
inline __attribute__((always_inline)) int32_t DecodeToken(const uint8_t* input, int32_t i,
                                                          int32_t m, OutputState* out,
                                                          uint8_t** end, uint8_t** pending) {
  int32_t t = input[i];
  int32_t produced = 0;
  if (t < 0x80) {
    produced = t + 1;
    if (!whole && produced > m - i - 1) {
      produced = m - i - 1;
      NoteProblem(out, i, true);
    }
    CopyBlocks<Moves>(*end, input + i + 1, produced);
    i += t + 2;
  } else {
    if (whole || i + 1 < m) {
      produced = ProduceCopy<Moves>(out->front, *end, t - 124, input[i + 1]);
      if (produced != t - 124) {
        NoteProblem(out, i, false);
      }
    } else {
      NoteProblem(out, i, true);
    }
    i += 2;
  }
  uint8_t* tokenStart = *end;
  *end += produced;
  EndToken(out, tokenStart, end, pending);
  return i;
}

// One decode pass over input[0..m): the first token whatever remains, then
// tokens while at least kRefillThreshold bytes are left, so that none of them
// can run past the input. Returns the position of the first undecoded byte.
template <typename Moves>
inline __attribute__((always_inline)) int32_t DecodePass(const uint8_t* input, int32_t m,
                                                         OutputState* out) {
  uint8_t* end = out->end;
  uint8_t* pending = out->pending;
  int32_t i = DecodeToken<Moves, false>(input, 0, m, out, &end, &pending);
  while (m - i >= kRefillThreshold && end - out->front < kHistoryWindowSize) {
    i = DecodeToken<Moves, true>(input, i, m, out, &end, &pending);
  }
  // The window is full now or the pass is over; a full window stays full, as
  // a flush keeps its 256 bytes.
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
        token = input + DecodeToken<Moves, true>(input, static_cast<int32_t>(token - input), m, out,
                                                 &end, &pending);
        continue;
      }
      CopyBlocks<Moves>(end, end - (kHistoryWindowSize + 1) + q, n);
      end += n;
      token += 2;
    }
    EndToken(out, tokenStart, &end, &pending);
  }
  i = static_cast<int32_t>(token - input);
  out->end = end;
  out->pending = pending;
  return i;
}

int32_t DecodePassWithWords(const uint8_t* input, int32_t m, OutputState* out) {
  return DecodePass<WordMoves>(input, m, out);
}

#if defined(__i386__)
// The vector moves need SSE2, which not every processor that runs the 32-bit
// installer has: this routine is compiled for it and chosen at run time.
__attribute__((target("sse2")))
#endif
int32_t
DecodePassWithVectors(const uint8_t* input, int32_t m, OutputState* out) {
  return DecodePass<VectorMoves>(input, m, out);
}

}  // namespace

EntryDecoding DecompressEntry(BinaryFile* archive, int32_t dataStart, int32_t dataEnd,
                              BinaryFile* output, ChunkCallback onChunk, void* context) {
  uint8_t input[kInputCapacity];
  uint8_t produced[kOutputCapacity];
  EntryDecoding decoding = {false, false, false, -1};
  OutputState out = {produced, produced, produced, output, 0, &decoding};
  int32_t (*decodePass)(const uint8_t*, int32_t, OutputState*) =
      ActiveDecoderRoutine() == kVectorDecoderRoutine ? DecodePassWithVectors : DecodePassWithWords;
  int64_t start = dataStart;
  const int64_t end = dataEnd;
  int32_t inputLength = 0;
  for (;;) {
    if (end > start) {
      int32_t chunk =
          end - start > kReadChunkSize ? kReadChunkSize : static_cast<int32_t>(end - start);
      int32_t delivered = ReadBinaryFile(archive, input + inputLength, chunk);
      inputLength += delivered;
      decoding.shortRead = decoding.shortRead || delivered < chunk;
      start += chunk;  // also after a short read, so a cut archive still ends the loop
      if (onChunk != nullptr) {
        onChunk(context, chunk);
      }
    }
    if (inputLength == 0) {
      break;
    }
    int32_t i = decodePass(input, inputLength, &out);
    int32_t left = i < inputLength ? inputLength - i : 0;
    memmove(input, input + (inputLength - left), static_cast<size_t>(left));
    out.inputOffset += inputLength - left;
    inputLength = left;
  }
  if (out.end > out.pending) {
    WriteBinaryFile(output, out.pending, static_cast<int32_t>(out.end - out.pending));
  }
  CloseBinaryFile(output);
  return decoding;
}
