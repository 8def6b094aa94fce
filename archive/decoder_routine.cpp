// Choosing the decoder's routine from what the processor reports.
#include "archive/decoder_routine.h"

#if defined(__i386__)
#include <cpuid.h>
#endif

namespace {

DecoderRoutine chosenRoutine = static_cast<DecoderRoutine>(0);  // not asked yet

bool ProcessorHasVectorMoves() {
#if defined(__i386__)
  // CPUID leaf 1, EDX bit 26. __get_cpuid fails on a processor without CPUID.
  unsigned int eax = 0, ebx = 0, ecx = 0, edx = 0;
  return __get_cpuid(1, &eax, &ebx, &ecx, &edx) != 0 && (edx & bit_SSE2) != 0;
#else
  // 64-bit x86 always has SSE2; other processors lower the vector type to
  // their own registers.
  return true;
#endif
}

}  // namespace

bool DecoderRoutineAvailable(DecoderRoutine routine) {
  return routine == kWordDecoderRoutine ||
         (routine == kVectorDecoderRoutine && ProcessorHasVectorMoves());
}

DecoderRoutine ActiveDecoderRoutine() {
  if (chosenRoutine == 0) {
    chosenRoutine = ProcessorHasVectorMoves() ? kVectorDecoderRoutine : kWordDecoderRoutine;
  }
  return chosenRoutine;
}

bool ChooseDecoderRoutine(DecoderRoutine routine) {
  if (!DecoderRoutineAvailable(routine)) {
    return false;
  }
  chosenRoutine = routine;
  return true;
}
