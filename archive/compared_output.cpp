// The operations of a compared output.
#include "archive/compared_output.h"

#include <cstring>

namespace {

enum : int32_t {
  kComparePieceSize = 512,  // bytes of the kept file read back at a time
};

ComparedOutput* ComparedOf(void* handle) {
  return static_cast<ComparedOutput*>(handle);
}

// Nothing can be read through a compared output: it stands for a file being
// written.
int32_t ReadCompared(void*, uint8_t*, int32_t) {
  return 0;
}

int32_t WriteCompared(void* handle, const uint8_t* bytes, int32_t count) {
  ComparedOutput* compared = ComparedOf(handle);
  uint8_t piece[kComparePieceSize];
  for (int32_t done = 0; done < count && !compared->differs;) {
    int32_t wanted = count - done < kComparePieceSize ? count - done : kComparePieceSize;
    int32_t delivered = ReadBinaryFile(&compared->kept, piece, wanted);
    if (delivered < wanted || std::memcmp(piece, bytes + done, static_cast<size_t>(wanted)) != 0) {
      compared->differs = true;
    }
    done += wanted;
  }
  return count;
}

// The writer only writes front to back; a seek would break the comparison.
void SeekCompared(void* handle, int32_t) {
  ComparedOf(handle)->differs = true;
}

int64_t ComparedLength(void* handle) {
  return BinaryFileLength(&ComparedOf(handle)->kept);
}

void CloseCompared(void* handle) {
  ComparedOutput* compared = ComparedOf(handle);
  uint8_t beyond = 0;
  if (ReadBinaryFile(&compared->kept, &beyond, 1) != 0) {
    compared->differs = true;
  }
  CloseBinaryFile(&compared->kept);
}

const BinaryFileOps kComparedOps = {ReadCompared, WriteCompared, SeekCompared, ComparedLength,
                                    CloseCompared};

}  // namespace

BinaryFile CompareOutput(ComparedOutput* compared, BinaryFile kept) {
  compared->kept = kept;
  compared->differs = !IsBinaryFileOpen(&kept);
  BinaryFile wrapped = UnopenedBinaryFile();
  wrapped.ops = &kComparedOps;
  wrapped.handle = compared;
  return wrapped;
}
