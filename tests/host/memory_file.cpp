#include "tests/host/memory_file.h"

#include <gtest/gtest.h>

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

void RecordChunk(void* context, int32_t chunkSize) {
  DecodedEntry* decoded = static_cast<DecodedEntry*>(context);
  decoded->chunkSizes.push_back(chunkSize);
  decoded->bytesBeforeChunk.push_back(decoded->bytes.size());
}

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

DecodedEntry DecodeEntry(BinaryFile* archive, int32_t dataStart, int32_t dataEnd,
                         int32_t areaSize) {
  DecodedEntry decoded;
  std::vector<uint8_t> area(static_cast<size_t>(std::max(areaSize, 0)));
  EntryDecoder decoder;
  BeginEntryDecoding(&decoder, archive, dataStart, dataEnd, RecordChunk, &decoded,
                     area.empty() ? nullptr : area.data(), areaSize);
  const uint8_t* piece = nullptr;
  while (int32_t length = DecodeNextPiece(&decoder, &piece)) {
    decoded.pieceSizes.push_back(length);
    bool inArea =
        !area.empty() && piece >= area.data() && piece + length <= area.data() + area.size();
    const int64_t offset = inArea ? piece - area.data() : -1;
    decoded.pieceOffsets.push_back(offset);
    if (inArea) {
      const size_t before = decoded.bytes.size();
      decoded.areaLeadsUpToPiece.push_back(
          static_cast<size_t>(offset) <= before &&
          std::equal(area.begin(), area.begin() + offset, decoded.bytes.end() - offset));
    }
    decoded.bytes.insert(decoded.bytes.end(), piece, piece + length);
  }
  // An ended decoding stays ended: no further read, no further piece.
  EXPECT_EQ(DecodeNextPiece(&decoder, &piece), 0);
  decoded.report = decoder.decoding;
  return decoded;
}
