// Optimal-parse compression.
//
// The window at output position i always holds input[i - W, i) with
// W = min(256, i), whatever tokens produced it, so the cheapest encoding of the
// rest of the input depends only on i. A backward pass computes, for every i,
//
//   cost[i] = min( 1 + L + cost[i + L]  for a literal run of L = 1..128 bytes,
//                  2 + cost[i + n]      for a copy of n = 4..longest(i) bytes )
//
// with cost[length] = 0, where longest(i) is the longest copy available at i:
// the maximum over distances d = 1..W of min(common prefix of input[i - d..]
// and input[i..], d, 131). Every shorter copy is a prefix of that one, so all
// lengths from 4 up to longest(i) are available. The pass records the token
// chosen at every position; a forward walk then emits the chosen tokens and
// looks up a source for each copy.
//
// The common prefixes are kept for all 256 distances at once in byte lanes and
// updated from position i + 1 to i; the two minimums over ranges of cost come
// from monotone queues.
#include "archive/writing/encoder.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "archive/decoder.h"

namespace {

enum : int32_t {
  kQueueRingSize = 256,  // more positions than a token spans (131)
  kRecentCosts = 8,
  kProgressStep = 1 << 20,
};

// Byte lanes g = 0..255 stand for the sources 256 - g bytes before the current
// position. Each holds the copy length available from its source: the common
// prefix of source and current position, at most the distance (a copy may not
// reach its own output) and at most 131.
struct MatchLanes {
  alignas(32) uint8_t length[kHistoryWindowSize];
  alignas(32) uint8_t limit[kHistoryWindowSize];  // min(distance, 131)
};

typedef uint8_t NarrowLanes __attribute__((vector_size(16)));
typedef uint64_t NarrowWords __attribute__((vector_size(16)));
typedef uint8_t WideLanes __attribute__((vector_size(32)));

void ClearMatchLanes(MatchLanes* lanes) {
  for (int32_t g = 0; g < kHistoryWindowSize; ++g) {
    int32_t distance = kHistoryWindowSize - g;
    lanes->length[g] = 0;
    lanes->limit[g] = static_cast<uint8_t>(distance < kMaxCopyLength ? distance : kMaxCopyLength);
  }
}

// Moves the lanes from position + 1 to position (at least 256) and returns the
// longest copy available there, with vectors of the given width.
template <typename Lanes>
inline __attribute__((always_inline)) int32_t AdvanceLanes(MatchLanes* lanes, const uint8_t* at) {
  const int32_t width = sizeof(Lanes);
  const uint8_t* window = at - kHistoryWindowSize;
  Lanes current = Lanes{} + *at;
  Lanes longest = Lanes{};
  for (int32_t g = 0; g < kHistoryWindowSize; g += width) {
    Lanes source;
    Lanes length;
    Lanes limit;
    std::memcpy(&source, window + g, width);
    std::memcpy(&length, lanes->length + g, width);
    std::memcpy(&limit, lanes->limit + g, width);
    Lanes grown = length + 1;
    grown = grown < limit ? grown : limit;
    length = grown & reinterpret_cast<Lanes>(source == current);
    std::memcpy(lanes->length + g, &length, width);
    longest = longest > length ? longest : length;
  }
  // Fold onto lane 0: the 16-byte parts onto the first, its two 8-byte halves
  // onto each other, then within a half by shifts of 32, 16 and 8 bits.
  uint8_t parts[sizeof(Lanes)];
  std::memcpy(parts, &longest, width);
  NarrowLanes folded;
  std::memcpy(&folded, parts, sizeof folded);
  for (int32_t offset = sizeof folded; offset < width; offset += sizeof folded) {
    NarrowLanes part;
    std::memcpy(&part, parts + offset, sizeof part);
    folded = folded > part ? folded : part;
  }
  NarrowWords words = reinterpret_cast<NarrowWords>(folded);
  NarrowLanes other = reinterpret_cast<NarrowLanes>(NarrowWords{words[1], words[0]});
  folded = folded > other ? folded : other;
  for (int32_t shift = 32; shift >= 8; shift /= 2) {
    other = reinterpret_cast<NarrowLanes>(reinterpret_cast<NarrowWords>(folded) >> shift);
    folded = folded > other ? folded : other;
  }
  return folded[0];
}

// at points to the input byte at the current position; the 256 bytes before
// it must be readable.
typedef int32_t (*AdvanceMatchLanesRoutine)(MatchLanes* lanes, const uint8_t* at);

int32_t AdvanceNarrowLanes(MatchLanes* lanes, const uint8_t* at) {
  return AdvanceLanes<NarrowLanes>(lanes, at);
}

// On x86-64 ELF hosts (the publisher's Linux tools) an AVX2 variant handles 32
// lanes per instruction; elsewhere the 16-lane one serves, which the compiler
// maps to SSE2 where the target has it.
#if defined(__x86_64__) && defined(__ELF__)
__attribute__((target("avx2"))) int32_t AdvanceWideLanes(MatchLanes* lanes, const uint8_t* at) {
  return AdvanceLanes<WideLanes>(lanes, at);
}

AdvanceMatchLanesRoutine PickAdvanceMatchLanes() {
  return __builtin_cpu_supports("avx2") ? AdvanceWideLanes : AdvanceNarrowLanes;
}
#else
AdvanceMatchLanesRoutine PickAdvanceMatchLanes() {
  return AdvanceNarrowLanes;
}
#endif

// The same for the first 256 positions, where only the distances up to the
// position exist.
int32_t AdvanceMatchLanesNearStart(MatchLanes* lanes, const uint8_t* at, size_t position) {
  int32_t best = 0;
  for (int32_t g = 0; g < kHistoryWindowSize; ++g) {
    size_t distance = static_cast<size_t>(kHistoryWindowSize - g);
    int32_t length = 0;
    if (distance <= position && at[-static_cast<ptrdiff_t>(distance)] == *at) {
      length = lanes->length[g] + 1;
      length = length < lanes->limit[g] ? length : lanes->limit[g];
    }
    lanes->length[g] = static_cast<uint8_t>(length);
    best = length > best ? length : best;
  }
  return best;
}

// Positions ahead of the current one, kept in a queue whose keys rise from the
// oldest entry (the farthest position) to the newest (the nearest). A new
// position removes the nearer ones whose key is not below its own: they leave
// the range before it and can never be the better choice again. So the oldest
// entry holds the least key of the range, and the least key of any range
// start..limit is that of the oldest entry at or before limit.
struct PositionQueue {
  size_t position[kQueueRingSize];
  int64_t key[kQueueRingSize];
  uint32_t oldest;  // ring index of the oldest entry
  uint32_t end;     // ring index one past the newest entry
};

void ClearPositionQueue(PositionQueue* queue) {
  queue->oldest = 0;
  queue->end = 0;
}

void PushNearest(PositionQueue* queue, size_t position, int64_t key) {
  while (queue->end != queue->oldest && queue->key[(queue->end - 1) % kQueueRingSize] >= key) {
    --queue->end;
  }
  queue->position[queue->end % kQueueRingSize] = position;
  queue->key[queue->end % kQueueRingSize] = key;
  ++queue->end;
}

void DropBeyond(PositionQueue* queue, size_t limit) {
  while (queue->end != queue->oldest && queue->position[queue->oldest % kQueueRingSize] > limit) {
    ++queue->oldest;
  }
}

// The ring index of the entry of least key at or before limit, that is the
// oldest entry at or before limit; the queue must hold one.
uint32_t LeastUpTo(const PositionQueue* queue, size_t limit) {
  uint32_t first = queue->oldest;
  uint32_t count = queue->end - queue->oldest;
  while (count > 1) {
    uint32_t half = count / 2;
    first = queue->position[(first + half - 1) % kQueueRingSize] > limit ? first + half : first;
    count -= half;
  }
  return queue->position[first % kQueueRingSize] > limit ? first + 1 : first;
}

// The backward pass, resumable: every position from the end down to
// position has been chosen, and the state holds all that the positions below
// need of them (the match lanes, the ranges of token ends with their costs).
// Carried over a stretch of input and resumed, it chooses exactly what one
// pass over the whole input chooses.
struct TokenParse {
  MatchLanes lanes;
  // literalEnds: where a literal run from here may end, keyed by cost + position;
  // copyEnds: where a copy from here may end, keyed by cost.
  PositionQueue literalEnds;
  PositionQueue copyEnds;
  // recentCosts[p % 8]: the least packed size of input[p..], for the copy end
  // that joins the queue 4 positions later.
  int64_t recentCosts[kRecentCosts];
  size_t length;    // of the whole input
  size_t position;  // the least position chosen so far
};

void BeginTokenParse(TokenParse* parse, size_t length) {
  ClearMatchLanes(&parse->lanes);
  ClearPositionQueue(&parse->literalEnds);
  ClearPositionQueue(&parse->copyEnds);
  parse->recentCosts[length % kRecentCosts] = 0;
  PushNearest(&parse->literalEnds, length, static_cast<int64_t>(length));
  parse->length = length;
  parse->position = length;
}

// The least packed size of input[position..] once position has been chosen.
int64_t ParsedCost(const TokenParse* parse) {
  return parse->recentCosts[parse->position % kRecentCosts];
}

// Chooses the positions from parse->position - 1 down to to. input points to
// the byte at position inputStart; input[to - 256 - inputStart ..
// parse->position - inputStart) must be readable (from 0 near the start).
// choices[p - to] receives the control byte of the token that starts the
// cheapest encoding of the input from p.
void ContinueTokenParse(TokenParse* parse, const uint8_t* input, size_t inputStart, size_t to,
                        uint8_t* choices, CompressProgressCallback onProgress, void* context,
                        int64_t progressBase) {
  static const AdvanceMatchLanesRoutine advanceMatchLanes = PickAdvanceMatchLanes();
  const size_t length = parse->length;
  PositionQueue& literalEnds = parse->literalEnds;
  PositionQueue& copyEnds = parse->copyEnds;
  int64_t* recentCosts = parse->recentCosts;
  int32_t sinceReport = 0;
  for (size_t i = parse->position; i-- > to;) {
    if (i + kMinCopyLength <= length) {
      size_t copyEnd = i + kMinCopyLength;
      DropBeyond(&copyEnds, i + kMaxCopyLength);
      PushNearest(&copyEnds, copyEnd, recentCosts[copyEnd % kRecentCosts]);
    }
    DropBeyond(&literalEnds, i + kMaxLiteralRun);
    const uint8_t* at = input + (i - inputStart);
    int32_t longest = i >= static_cast<size_t>(kHistoryWindowSize)
                          ? advanceMatchLanes(&parse->lanes, at)
                          : AdvanceMatchLanesNearStart(&parse->lanes, at, i);

    // The oldest literal end holds the least key of the whole range.
    uint32_t runIndex = literalEnds.oldest % kQueueRingSize;
    int64_t cost = 1 + literalEnds.key[runIndex] - static_cast<int64_t>(i);
    uint8_t choice = static_cast<uint8_t>(literalEnds.position[runIndex] - i - 1);
    if (longest >= kMinCopyLength) {
      uint32_t copyIndex = LeastUpTo(&copyEnds, i + static_cast<size_t>(longest)) % kQueueRingSize;
      int64_t copyCost = 2 + copyEnds.key[copyIndex];
      if (copyCost < cost) {
        cost = copyCost;
        choice = static_cast<uint8_t>(0x80 + (copyEnds.position[copyIndex] - i - kMinCopyLength));
      }
    }
    recentCosts[i % kRecentCosts] = cost;
    choices[i - to] = choice;
    PushNearest(&literalEnds, i, cost + static_cast<int64_t>(i));

    if (++sinceReport == kProgressStep && onProgress != nullptr) {
      sinceReport = 0;
      onProgress(context, static_cast<size_t>(progressBase) + (parse->position - i));
    }
  }
  parse->position = to;
}

// How many produced bytes the window holds at position: min(256, position).
size_t WindowLengthAt(size_t position) {
  const size_t full = kHistoryWindowSize;
  return position < full ? position : full;
}

// The distance back to a source of the copy input[position..position + count)
// that lies inside the window and ends before position; 0 if there is none.
size_t FindCopySource(const uint8_t* target, size_t position, size_t count) {
  size_t window = WindowLengthAt(position);
  uint32_t targetHead;
  std::memcpy(&targetHead, target, sizeof targetHead);  // a copy is at least 4 bytes long
  for (size_t distance = count; distance <= window; ++distance) {
    const uint8_t* source = target - distance;
    uint32_t sourceHead;
    std::memcpy(&sourceHead, source, sizeof sourceHead);
    if (sourceHead == targetHead && std::memcmp(source, target, count) == 0) {
      return distance;
    }
  }
  return 0;
}

// Appends the tokens chosen from position on, up to end or as far as the
// token that crosses it, to packed and returns the position after the last
// one. input points to the byte at position inputStart and holds the 256 bytes
// before position (or all from 0) and the bytes of the last token. Returns 0
// when a copy that was chosen has no source (the input is not the one parsed).
size_t EmitTokens(const uint8_t* input, size_t inputStart, size_t position, size_t end,
                  const uint8_t* choices, size_t choicesStart, std::vector<uint8_t>* packed) {
  while (position < end) {
    uint8_t control = choices[position - choicesStart];
    packed->push_back(control);
    const uint8_t* at = input + (position - inputStart);
    size_t count;
    if (control < 0x80) {
      count = static_cast<size_t>(control) + 1;
      packed->insert(packed->end(), at, at + count);
    } else {
      count = static_cast<size_t>(control) - 0x80 + kMinCopyLength;
      size_t distance = FindCopySource(at, position, count);
      if (distance == 0) {
        return 0;
      }
      size_t window = WindowLengthAt(position);
      packed->push_back(static_cast<uint8_t>(window - distance + 1));
    }
    position += count;
  }
  return position;
}

// Progress of the two passes of a streamed compression: each counts half.
struct HalvedProgress {
  CompressProgressCallback onProgress;
  void* context;
  size_t before;  // input bytes done in earlier passes, in whole passes
};

void ReportHalved(void* context, size_t bytesDone) {
  HalvedProgress* progress = static_cast<HalvedProgress*>(context);
  progress->onProgress(progress->context, (progress->before + bytesDone) / 2);
}

}  // namespace

void CompressBytes(const uint8_t* input, size_t length, std::vector<uint8_t>* packed,
                   CompressProgressCallback onProgress, void* context) {
  std::vector<uint8_t> choices(length);
  TokenParse parse;
  BeginTokenParse(&parse, length);
  ContinueTokenParse(&parse, input, 0, 0, choices.data(), onProgress, context, 0);
  packed->clear();
  packed->reserve(length + length / kMaxLiteralRun + 1);
  if (EmitTokens(input, 0, 0, length, choices.data(), 0, packed) != length && length > 0) {
    std::abort();  // the parse chose a copy that does not exist
  }
  if (onProgress != nullptr) {
    onProgress(context, length);
  }
}

bool CompressStream(const InputStream& input, size_t blockSize, const StreamOutput& output,
                    CompressProgressCallback onProgress, void* context, std::string* error) {
  const size_t length = input.length;
  const size_t blocks = (length + blockSize - 1) / blockSize;
  const size_t history = kHistoryWindowSize;
  HalvedProgress halved = {onProgress, context, 0};
  CompressProgressCallback report = onProgress != nullptr ? ReportHalved : nullptr;
  // Blocks of a small input are only as large as the input.
  const size_t bufferBlock = std::min(blockSize, length);
  std::vector<uint8_t> buffer(history + bufferBlock + kMaxCopyLength);
  std::vector<uint8_t> choices(bufferBlock);
  auto readAt = [&](size_t start, size_t end) {
    if (!input.read(input.context, static_cast<int64_t>(start), buffer.data(), end - start)) {
      *error = "the input could not be read";
      return false;
    }
    return true;
  };

  // First pass, from the end: the packed size, and the parse state at the top
  // of every block, from which the second pass chooses that block again.
  std::vector<TokenParse> states(blocks + 1);
  TokenParse parse;
  BeginTokenParse(&parse, length);
  states[blocks] = parse;
  for (size_t k = blocks; k-- > 0;) {
    size_t start = k * blockSize;
    size_t end = std::min(length, start + blockSize);
    size_t readStart = start >= history ? start - history : 0;
    if (!readAt(readStart, end)) {
      return false;
    }
    ContinueTokenParse(&parse, buffer.data(), readStart, start, choices.data(), report, &halved,
                       static_cast<int64_t>(length - end));
    states[k] = parse;
  }
  if (!output.begin(output.context, ParsedCost(&parse))) {
    *error = "refused by the writer";
    return false;
  }

  // Second pass, from the start: each block chosen again from its state (the
  // first one needs it not: the first pass ended there), the chosen tokens
  // emitted from where the previous block's last one ended. An input of one
  // block is thus parsed once.
  halved.before = length;
  std::vector<uint8_t> packed;
  size_t position = 0;
  int64_t packedSize = 0;
  for (size_t k = 0; k < blocks; ++k) {
    size_t start = k * blockSize;
    size_t end = std::min(length, start + blockSize);
    size_t readStart = start >= history ? start - history : 0;
    if (!readAt(readStart, std::min(length, end + kMaxCopyLength))) {
      return false;
    }
    // The first block's choices are still there from the first pass.
    parse = states[k + 1];
    if (k > 0) {
      ContinueTokenParse(&parse, buffer.data(), readStart, start, choices.data(), report, &halved,
                         static_cast<int64_t>(length - end));
    } else {
      parse = states[0];
    }
    packed.clear();
    size_t reached =
        EmitTokens(buffer.data(), readStart, position, end, choices.data(), start, &packed);
    if (ParsedCost(&parse) != ParsedCost(&states[k]) || (reached == 0 && position < end)) {
      *error = "the input changed while it was compressed";
      return false;
    }
    position = std::max(position, reached);
    packedSize += static_cast<int64_t>(packed.size());
    if (!output.write(output.context, packed.data(), packed.size())) {
      *error = "the packed data could not be written";
      return false;
    }
  }
  if (packedSize != ParsedCost(&states[0])) {
    *error = "the input changed while it was compressed";
    return false;
  }
  if (onProgress != nullptr) {
    onProgress(context, length);
  }
  return true;
}
