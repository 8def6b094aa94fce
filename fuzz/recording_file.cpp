#include "fuzz/recording_file.h"

#include <sanitizer/asan_interface.h>

#include <algorithm>
#include <cstring>

#include "fuzz/fuzz_check.h"

namespace {

SourceFile* SourceOf(void* handle) {
  return static_cast<SourceFile*>(handle);
}
SinkFile* SinkOf(void* handle) {
  return static_cast<SinkFile*>(handle);
}

// A platform read may fill the whole buffer it is given, so all of it must be
// addressable even when fewer bytes arrive.
void CheckAddressable(const void* bytes, int32_t count) {
  FUZZ_CHECK(count > 0, "file operations are called with a positive count");
  FUZZ_CHECK(
      __asan_region_is_poisoned(const_cast<void*>(bytes), static_cast<size_t>(count)) == nullptr,
      "the buffer holds the whole count");
}

int32_t ReadSource(void* handle, uint8_t* bytes, int32_t count) {
  SourceFile* source = SourceOf(handle);
  CheckAddressable(bytes, count);
  FUZZ_CHECK(source->closeCount == 0, "no read after the close");
  source->readRequests.push_back(count);
  size_t left = source->position < source->size ? source->size - source->position : 0;
  size_t delivered = std::min(left, static_cast<size_t>(count));
  if (source->deliveryLimit > 0) {
    delivered = std::min(delivered, static_cast<size_t>(source->deliveryLimit));
  }
  if (delivered > 0) {
    std::memcpy(bytes, source->bytes + source->position, delivered);
  }
  source->position += delivered;
  source->deliveredTotal += delivered;
  return static_cast<int32_t>(delivered);
}

int32_t WriteSource(void* handle, const uint8_t*, int32_t) {
  SourceFile* source = SourceOf(handle);
  source->writeCount += 1;
  return 0;
}

void SeekSource(void* handle, int32_t position) {
  SourceFile* source = SourceOf(handle);
  FUZZ_CHECK(position >= 0, "seeks go to positions inside 32 bits");
  source->seekCount += 1;
  source->position = static_cast<size_t>(position);
}

int64_t SourceLength(void* handle) {
  return static_cast<int64_t>(SourceOf(handle)->size);
}

void CloseSource(void* handle) {
  SourceOf(handle)->closeCount += 1;
}

int32_t ReadSink(void* handle, uint8_t*, int32_t) {
  SinkOf(handle)->readOrSeekCount += 1;
  return 0;
}

int32_t WriteSink(void* handle, const uint8_t* bytes, int32_t count) {
  SinkFile* sink = SinkOf(handle);
  CheckAddressable(bytes, count);
  FUZZ_CHECK(sink->closeCount == 0, "no write after the close");
  FUZZ_CHECK(sink->bytes.size() + static_cast<size_t>(count) <= sink->capacity,
             "the output stays within its bound");
  sink->writeSizes.push_back(count);
  sink->bytes.insert(sink->bytes.end(), bytes, bytes + count);
  return count;
}

void SeekSink(void* handle, int32_t) {
  SinkOf(handle)->readOrSeekCount += 1;
}

int64_t SinkLength(void* handle) {
  return static_cast<int64_t>(SinkOf(handle)->bytes.size());
}

void CloseSink(void* handle) {
  SinkOf(handle)->closeCount += 1;
}

const BinaryFileOps kSourceOps = {ReadSource, WriteSource, SeekSource, SourceLength, CloseSource};
const BinaryFileOps kSinkOps = {ReadSink, WriteSink, SeekSink, SinkLength, CloseSink};

}  // namespace

BinaryFile OpenSourceFile(SourceFile* source) {
  BinaryFile file = UnopenedBinaryFile();
  file.ops = &kSourceOps;
  file.handle = source;
  return file;
}

BinaryFile OpenSinkFile(SinkFile* sink) {
  BinaryFile file = UnopenedBinaryFile();
  file.ops = &kSinkOps;
  file.handle = sink;
  return file;
}
