// The routine that moves the decoder's bytes: 16-byte vector moves where the
// processor has vector registers (SSE2 on 32-bit x86, which not every
// processor that runs the installer has), plain machine words elsewhere.
// Both produce the same bytes with the same reads and writes.
#pragma once

#include <cstdint>

enum DecoderRoutine : int32_t {
  kWordDecoderRoutine = 1,
  kVectorDecoderRoutine = 2,
};

// The routine BeginEntryDecoding takes: the processor's best, asked for once,
// unless one was chosen.
DecoderRoutine ActiveDecoderRoutine();

// Whether this processor can run routine.
bool DecoderRoutineAvailable(DecoderRoutine routine);

// Makes routine the one in use, for tests and benchmarks. Returns false, and
// changes nothing, when the processor cannot run it.
bool ChooseDecoderRoutine(DecoderRoutine routine);
