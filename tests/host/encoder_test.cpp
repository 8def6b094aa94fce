// The encoder: packed sizes against an exhaustive search over every token, and
// round trips through the real decoder on random and adversarial inputs.
#include "archive/writing/encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "archive/decoder.h"
#include "tests/host/memory_file.h"

namespace {

// The least packed size, found by trying at every position every literal run
// and every copy from every window position with every length, compared byte
// by byte with the window as the decoder holds it.
size_t ExhaustiveLeastSize(const std::vector<uint8_t>& data) {
  size_t n = data.size();
  std::vector<size_t> least(n + 1, 0);
  for (size_t i = n; i-- > 0;) {
    size_t best = SIZE_MAX;
    for (size_t run = 1; run <= 128 && i + run <= n; ++run) {
      best = std::min(best, 1 + run + least[i + run]);
    }
    size_t window = std::min<size_t>(i, 256);
    const uint8_t* windowStart = data.data() + i - window;
    for (size_t q = 1; q <= window; ++q) {
      for (size_t len = 1; len <= 131 && q + len - 1 <= window && i + len <= n; ++len) {
        if (windowStart[q + len - 2] != data[i + len - 1]) {
          break;
        }
        if (len >= 4) {
          best = std::min(best, 2 + least[i + len]);
        }
      }
    }
    least[i] = best;
  }
  return least[0];
}

// Compresses data, decodes it and compares. A copy that
// the decoder would clip, or that reached into its own output, shows up as a
// difference, since the encoder counts every copy at its full length, and in
// the decoder's report, which must call the data clean.
std::vector<uint8_t> CompressAndCheck(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> packed;
  CompressBytes(data.data(), data.size(), &packed);
  MemoryFile archiveMemory;
  archiveMemory.bytes = packed;
  BinaryFile archive = OpenMemoryFile(&archiveMemory);
  DecodedEntry decoded = DecodeEntry(&archive, 0, static_cast<int32_t>(packed.size()));
  EXPECT_TRUE(decoded.bytes == data) << "round trip of " << data.size() << " bytes";
  EXPECT_TRUE(DecodedCleanly(decoded.report)) << "round trip of " << data.size() << " bytes";
  return packed;
}

std::vector<uint8_t> RandomBytes(std::mt19937* random, size_t count, uint32_t alphabet) {
  std::vector<uint8_t> bytes(count);
  for (uint8_t& byte : bytes) {
    byte = static_cast<uint8_t>('a' + (*random)() % alphabet);
  }
  return bytes;
}

size_t LiteralOnlySize(size_t count) {
  return count + (count + 127) / 128;
}

TEST(EncoderTest, PackedSizeIsTheLeastAnyTokenSequenceReaches) {
  std::mt19937 random(2024);
  for (int round = 0; round < 400; ++round) {
    size_t count = random() % 420;
    std::vector<uint8_t> data = RandomBytes(&random, count, 1 + random() % 4);
    if (round % 4 == 1) {  // sprinkle bytes of the whole range: long literal runs
      for (uint8_t& byte : data) {
        byte = random() % 3 == 0 ? static_cast<uint8_t>(random()) : byte;
      }
    } else if (round % 4 == 2 && count > 300) {  // a block repeated 255 to 257 bytes on
      size_t distance = 255 + random() % 3;
      for (size_t i = distance; i < count; ++i) {
        data[i] = i < 40 + distance ? data[i - distance] : static_cast<uint8_t>(random());
      }
    }
    SCOPED_TRACE(::testing::Message() << "round " << round << ", " << count << " bytes");
    EXPECT_EQ(CompressAndCheck(data).size(), ExhaustiveLeastSize(data));
  }
}

TEST(EncoderTest, RoundTripsAdversarialInputs) {
  std::mt19937 random(7);
  for (size_t count : {0, 1, 2, 3, 2047, 2048, 2049, 4097, 70000}) {
    std::vector<uint8_t> noise = RandomBytes(&random, count, 256);
    EXPECT_EQ(CompressAndCheck(noise).size(), LiteralOnlySize(count)) << count;
  }
  for (size_t count : {1, 3, 4, 5, 131, 132, 135, 2048, 100000}) {
    CompressAndCheck(std::vector<uint8_t>(count, 0x5A));
  }
  for (size_t period : {255, 256, 257}) {
    std::vector<uint8_t> block = RandomBytes(&random, period, 256);
    std::vector<uint8_t> data;
    while (data.size() < 20000) {
      data.insert(data.end(), block.begin(), block.end());
    }
    size_t packed = CompressAndCheck(data).size();
    if (period == 257) {  // every repeat lies one byte beyond the window
      EXPECT_EQ(packed, LiteralOnlySize(data.size()));
    } else {
      EXPECT_LE(packed, LiteralOnlySize(period) + 2 * ((data.size() - period) / 131 + 1));
    }
  }
}

// CompressStream over data in memory, in blocks of blockSize.
std::vector<uint8_t> CompressStreamed(const std::vector<uint8_t>& data, size_t blockSize) {
  struct Sink {
    const std::vector<uint8_t>* data;
    std::vector<uint8_t> packed;
    int64_t announced;
  } sink = {&data, {}, -1};
  InputStream input = {[](void* context, int64_t position, uint8_t* bytes, size_t count) {
                         const std::vector<uint8_t>& source = *static_cast<Sink*>(context)->data;
                         EXPECT_LE(static_cast<size_t>(position) + count, source.size());
                         std::copy_n(source.begin() + position, count, bytes);
                         return true;
                       },
                       &sink, data.size()};
  StreamOutput output = {[](void* context, int64_t packedSize) {
                           static_cast<Sink*>(context)->announced = packedSize;
                           return true;
                         },
                         [](void* context, const uint8_t* bytes, size_t count) {
                           std::vector<uint8_t>& packed = static_cast<Sink*>(context)->packed;
                           packed.insert(packed.end(), bytes, bytes + count);
                           return true;
                         },
                         &sink};
  std::string error;
  EXPECT_TRUE(CompressStream(input, blockSize, output, nullptr, nullptr, &error)) << error;
  EXPECT_EQ(sink.announced, static_cast<int64_t>(sink.packed.size()));
  return sink.packed;
}

// The streamed compression emits the very bytes of the whole-input parse, for
// blocks down to one byte and inputs whose cheapest parse near the start
// depends on bytes far behind (the length of incompressible data, a repeat
// that starts many blocks later).
TEST(EncoderTest, StreamedCompressionEqualsTheWholeInputParse) {
  std::mt19937 random(11);
  std::vector<std::vector<uint8_t>> inputs = {{},
                                              RandomBytes(&random, 1, 256),
                                              RandomBytes(&random, 1500, 256),
                                              RandomBytes(&random, 1500, 2)};
  for (size_t count : {70000, 70001, 70127}) {
    inputs.push_back(RandomBytes(&random, count, 256));
  }
  inputs.push_back(std::vector<uint8_t>(100000, 0x5A));
  inputs.push_back(RandomBytes(&random, 60000, 3));
  for (size_t period : {255, 256, 257, 131, 132}) {
    std::vector<uint8_t> block = RandomBytes(&random, period, 256);
    std::vector<uint8_t> data = RandomBytes(&random, 3000, 256);
    while (data.size() < 40000) {
      data.insert(data.end(), block.begin(), block.end());
      data.push_back(static_cast<uint8_t>(random()));
    }
    inputs.push_back(data);
  }
  for (const std::vector<uint8_t>& data : inputs) {
    std::vector<uint8_t> whole;
    CompressBytes(data.data(), data.size(), &whole);
    for (size_t blockSize : {1, 4, 127, 131, 256, 1000, 4096, 1 << 20}) {
      if (data.size() / blockSize > 4000) {
        continue;  // every block boundary keeps a parse state
      }
      EXPECT_TRUE(CompressStreamed(data, blockSize) == whole)
          << data.size() << " bytes in blocks of " << blockSize;
    }
  }
}

}  // namespace
