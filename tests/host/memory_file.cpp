#include "tests/host/memory_file.h"

#include <algorithm>
#include <cstring>
#include <sstream>

namespace {

MemoryFile* MemoryOf(void* handle) {
  return static_cast<MemoryFile*>(handle);
}

int32_t ReadMemory(void* handle, uint8_t* bytes, int32_t count) {
  MemoryFile* memory = MemoryOf(handle);
  memory->readSizes.push_back(count);
  size_t left =
      memory->position < memory->bytes.size() ? memory->bytes.size() - memory->position : 0;
  size_t delivered = std::min(left, static_cast<size_t>(count));
  if (memory->deliveryLimit >= 0) {
    delivered = std::min(delivered, static_cast<size_t>(memory->deliveryLimit));
  }
  if (delivered > 0) {
    std::memcpy(bytes, memory->bytes.data() + memory->position, delivered);
  }
  memory->position += delivered;
  return static_cast<int32_t>(delivered);
}

int32_t WriteMemory(void* handle, const uint8_t* bytes, int32_t count) {
  MemoryFile* memory = MemoryOf(handle);
  memory->writeSizes.push_back(count);
  size_t end = memory->position + static_cast<size_t>(count);
  if (memory->bytes.size() < end) {
    memory->bytes.resize(end);
  }
  std::memcpy(memory->bytes.data() + memory->position, bytes, static_cast<size_t>(count));
  memory->position = end;
  return count;
}

void SeekMemory(void* handle, int32_t position) {
  MemoryFile* memory = MemoryOf(handle);
  memory->seeks.push_back(position);
  memory->position = static_cast<size_t>(std::max(position, 0));
}

int64_t MemoryLength(void* handle) {
  return static_cast<int64_t>(MemoryOf(handle)->bytes.size());
}

void CloseMemory(void* handle) {
  MemoryOf(handle)->closeCount += 1;
}

const BinaryFileOps kMemoryOps = {ReadMemory, WriteMemory, SeekMemory, MemoryLength, CloseMemory};

}  // namespace

BinaryFile OpenMemoryFile(MemoryFile* memory) {
  BinaryFile file = UnopenedBinaryFile();
  file.ops = &kMemoryOps;
  file.handle = memory;
  return file;
}

std::vector<uint8_t> BytesOf(const std::string& text) {
  return std::vector<uint8_t>(text.begin(), text.end());
}

std::vector<uint8_t> BytesOfHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  std::istringstream stream(hex);
  unsigned value = 0;
  while (stream >> std::hex >> value) {
    bytes.push_back(static_cast<uint8_t>(value));
  }
  return bytes;
}
