// The encoder: packed sizes against an exhaustive search over every token, and
// round trips through the real decoder on random and adversarial inputs.
#include "archive/encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
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

// Compresses data, decodes it with DecompressEntry and compares. A copy that
// the decoder would clip, or that reached into its own output, shows up as a
// difference, since the encoder counts every copy at its full length, and in
// the decoder's report, which must call the data clean.
std::vector<uint8_t> CompressAndCheck(const std::vector<uint8_t>& data) {
  std::vector<uint8_t> packed;
  CompressBytes(data.data(), data.size(), &packed);
  MemoryFile archiveMemory;
  archiveMemory.bytes = packed;
  MemoryFile outputMemory;
  BinaryFile archive = OpenMemoryFile(&archiveMemory);
  BinaryFile output = OpenMemoryFile(&outputMemory);
  EntryDecoding decoding =
      DecompressEntry(&archive, 0, static_cast<int32_t>(packed.size()), &output, nullptr, nullptr);
  EXPECT_TRUE(outputMemory.bytes == data) << "round trip of " << data.size() << " bytes";
  EXPECT_TRUE(DecodedCleanly(decoding)) << "round trip of " << data.size() << " bytes";
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

}  // namespace
