// In-memory BinaryFile.
#include "tools/eek/memory_output.h"

#include <algorithm>
#include <cstring>

namespace {

int32_t ReadMemory(void* handle, uint8_t* bytes, int32_t count) {
  MemoryOutput* memory = static_cast<MemoryOutput*>(handle);
  size_t available =
      memory->position < memory->bytes.size() ? memory->bytes.size() - memory->position : 0;
  size_t taken = std::min(available, static_cast<size_t>(count));
  std::memcpy(bytes, memory->bytes.data() + memory->position, taken);
  memory->position += taken;
  return static_cast<int32_t>(taken);
}

int32_t WriteMemory(void* handle, const uint8_t* bytes, int32_t count) {
  MemoryOutput* memory = static_cast<MemoryOutput*>(handle);
  size_t end = memory->position + static_cast<size_t>(count);
  if (end > memory->bytes.size()) {
    memory->bytes.resize(end);
  }
  std::memcpy(memory->bytes.data() + memory->position, bytes, static_cast<size_t>(count));
  memory->position = end;
  return count;
}

void SeekMemory(void* handle, int32_t position) {
  static_cast<MemoryOutput*>(handle)->position = static_cast<size_t>(std::max(position, 0));
}

int64_t MemoryLength(void* handle) {
  return static_cast<int64_t>(static_cast<MemoryOutput*>(handle)->bytes.size());
}

void CloseMemory(void*) {}

const BinaryFileOps kMemoryOutputOps = {ReadMemory, WriteMemory, SeekMemory, MemoryLength,
                                        CloseMemory};

}  // namespace

void AttachMemoryOutput(MemoryOutput* memory, BinaryFile* file) {
  memory->bytes.clear();
  memory->position = 0;
  *file = UnopenedBinaryFile();
  file->ops = &kMemoryOutputOps;
  file->handle = memory;
}
