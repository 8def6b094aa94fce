// Entry decompression: the worked token streams, the clipping of copies, the
// sizes of reads, writes and chunk callbacks, and a comparison with a plain
// model of the algorithm over random streams and short reads.
#include "archive/decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "tests/host/memory_file.h"

namespace {

struct Decoded {
  std::vector<uint8_t> bytes;
  std::vector<int32_t> readSizes;
  std::vector<int32_t> writeSizes;
  std::vector<int32_t> chunkSizes;
  int32_t closeCount = 0;
};

void RecordChunk(void* context, int32_t chunkSize) {
  static_cast<std::vector<int32_t>*>(context)->push_back(chunkSize);
}

// Decodes data[dataStart..dataEnd) of an archive holding the given bytes.
Decoded Decode(const std::vector<uint8_t>& archiveBytes, int32_t dataStart, int32_t dataEnd,
               int32_t deliveryLimit = -1) {
  MemoryFile archiveMemory;
  archiveMemory.bytes = archiveBytes;
  archiveMemory.position = static_cast<size_t>(dataStart);
  archiveMemory.deliveryLimit = deliveryLimit;
  MemoryFile outputMemory;
  BinaryFile archive = OpenMemoryFile(&archiveMemory);
  BinaryFile output = OpenMemoryFile(&outputMemory);
  Decoded decoded;
  DecompressEntry(&archive, dataStart, dataEnd, &output, RecordChunk, &decoded.chunkSizes);
  EXPECT_FALSE(IsBinaryFileOpen(&output));
  decoded.bytes = outputMemory.bytes;
  decoded.readSizes = archiveMemory.readSizes;
  decoded.writeSizes = outputMemory.writeSizes;
  decoded.closeCount = outputMemory.closeCount;
  return decoded;
}

Decoded DecodeStream(const std::vector<uint8_t>& stream, int32_t deliveryLimit = -1) {
  return Decode(stream, 0, static_cast<int32_t>(stream.size()), deliveryLimit);
}

std::string Text(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// Literal runs that produce the given bytes.
std::vector<uint8_t> LiteralRuns(const std::vector<uint8_t>& bytes) {
  std::vector<uint8_t> stream;
  for (size_t i = 0; i < bytes.size(); i += 128) {
    size_t run = std::min<size_t>(128, bytes.size() - i);
    stream.push_back(static_cast<uint8_t>(run - 1));
    stream.insert(stream.end(), bytes.begin() + i, bytes.begin() + i + run);
  }
  return stream;
}

// Bytes 1, 2, 3, ... so that each produced byte tells its own number.
std::vector<uint8_t> Numbered(int count) {
  std::vector<uint8_t> bytes;
  for (int i = 1; i <= count; ++i) {
    bytes.push_back(static_cast<uint8_t>(i % 251));
  }
  return bytes;
}

// The algorithm as plainly as it can be written: input buffer, output buffer
// and window as separate byte strings.
Decoded DecodeWithModel(const std::vector<uint8_t>& data, int32_t deliveryLimit) {
  Decoded model;
  std::vector<uint8_t> input, pending, window;
  size_t position = 0;
  int64_t start = 0, end = static_cast<int64_t>(data.size());
  for (;;) {
    if (end > start) {
      int32_t chunk = static_cast<int32_t>(std::min<int64_t>(end - start, 2048));
      size_t delivered = std::min<size_t>(chunk, data.size() - position);
      if (deliveryLimit >= 0) {
        delivered = std::min<size_t>(delivered, deliveryLimit);
      }
      model.readSizes.push_back(chunk);
      input.insert(input.end(), data.begin() + position, data.begin() + position + delivered);
      position += delivered;
      start += chunk;
      model.chunkSizes.push_back(chunk);
    }
    if (input.empty()) {
      break;
    }
    size_t m = input.size(), i = 0;
    do {
      uint8_t t = input[i++];
      std::vector<uint8_t> produced;
      if (t >= 0x80) {
        size_t n = t - 124u;
        if (i < m) {
          size_t q = input[i];
          for (size_t p = q; q >= 1 && p <= window.size() && p < q + n; ++p) {
            produced.push_back(window[p - 1]);
          }
        }
        i += 1;
      } else {
        for (size_t k = i; k < m && k < i + t + 1; ++k) {
          produced.push_back(input[k]);
        }
        i += t + 1u;
      }
      if (pending.size() > 2048) {
        model.writeSizes.push_back(static_cast<int32_t>(pending.size()));
        model.bytes.insert(model.bytes.end(), pending.begin(), pending.end());
        pending = produced;
      } else {
        pending.insert(pending.end(), produced.begin(), produced.end());
      }
      window.insert(window.end(), produced.begin(), produced.end());
      if (window.size() > 256) {
        window.erase(window.begin(), window.end() - 256);
      }
    } while (i < m && m - i >= 129);
    input.erase(input.begin(), input.begin() + std::min(i, m));
  }
  if (!pending.empty()) {
    model.writeSizes.push_back(static_cast<int32_t>(pending.size()));
    model.bytes.insert(model.bytes.end(), pending.begin(), pending.end());
  }
  return model;
}

TEST(DecoderTest, WorkedStreamsAndCopyClipping) {
  EXPECT_EQ(Text(DecodeStream(BytesOfHex("03 41 42 43 44 80 01 84 01 00 21")).bytes),
            "ABCDABCDABCDABCD!");
  // Length 4 from position 3 of a 4-byte window yields only its last two bytes;
  // position 0 yields nothing.
  EXPECT_EQ(Text(DecodeStream(BytesOfHex("03 41 42 43 44 80 03")).bytes), "ABCDCD");
  EXPECT_EQ(Text(DecodeStream(BytesOfHex("03 41 42 43 44 80 00 00 21")).bytes), "ABCD!");
  EXPECT_EQ(Text(DecodeStream(BytesOfHex("03 41 42 43 44 80 05 00 21")).bytes), "ABCD!");
  // A copy at the very start has an empty window.
  EXPECT_EQ(Text(DecodeStream(BytesOfHex("80 01 00 21")).bytes), "!");
}

TEST(DecoderTest, CutTokensAtTheEndOfTheData) {
  // A literal run longer than the data left produces what is there; a copy
  // control byte without its position byte produces nothing.
  EXPECT_EQ(Text(DecodeStream(BytesOfHex("05 41 42")).bytes), "AB");
  EXPECT_EQ(Text(DecodeStream(BytesOfHex("03 41 42 43 44 FF")).bytes), "ABCD");
  EXPECT_EQ(Text(DecodeStream(BytesOfHex("03 41 42 43 44 00")).bytes), "ABCD");
}

TEST(DecoderTest, FullWindowPositionsAndLongestTokens) {
  std::vector<uint8_t> numbered = Numbered(300);
  std::vector<uint8_t> stream = LiteralRuns(numbered);
  // Position 253 of the window after 300 bytes is byte 297; position 1 is byte 45.
  std::vector<uint8_t> tail = BytesOfHex("80 FD 80 01 FF 01 FF C8");
  stream.insert(stream.end(), tail.begin(), tail.end());
  std::vector<uint8_t> expected = numbered;
  auto append = [&](size_t first, size_t count) {  // 1-based byte numbers of expected
    std::vector<uint8_t> copy(expected.begin() + first - 1, expected.begin() + first - 1 + count);
    expected.insert(expected.end(), copy.begin(), copy.end());
  };
  append(297, 4);   // 80 FD: bytes 297..300
  append(49, 4);    // 80 01: the window now starts at byte 49
  append(53, 131);  // FF 01: 131 bytes from the oldest
  // FF C8 (position 200 of 256) is cut at the end of the window: 57 bytes.
  append(expected.size() - 256 + 200, 57);
  Decoded decoded = DecodeStream(stream);
  ASSERT_EQ(decoded.bytes.size(), expected.size());
  EXPECT_EQ(decoded.bytes, expected);
  // 0x7F carries 128 literal bytes.
  EXPECT_EQ(DecodeStream(LiteralRuns(Numbered(128))).bytes, Numbered(128));
}

TEST(DecoderTest, ReadAndCallbackSizes) {
  std::vector<uint8_t> hundred = LiteralRuns(Numbered(99));  // 100 packed bytes
  ASSERT_EQ(hundred.size(), 100u);
  Decoded small = DecodeStream(hundred);
  EXPECT_EQ(small.chunkSizes, (std::vector<int32_t>{100}));
  EXPECT_EQ(small.readSizes, (std::vector<int32_t>{100}));

  std::vector<uint8_t> archive(5000 + 7, 0x00);  // literal runs of one zero byte
  Decoded large = Decode(archive, 7, 5007);
  EXPECT_EQ(large.chunkSizes, (std::vector<int32_t>{2048, 2048, 904}));
  EXPECT_EQ(large.readSizes, (std::vector<int32_t>{2048, 2048, 904}));
  EXPECT_EQ(large.bytes.size(), 2500u);

  // A cut archive: a short chunk still counts in full, the bytes that did
  // arrive are decoded, and the first read that leaves nothing to decode ends it.
  std::vector<uint8_t> cut = LiteralRuns(Numbered(50));
  Decoded truncated = Decode(cut, 0, 5000);
  EXPECT_EQ(truncated.chunkSizes, (std::vector<int32_t>{2048, 2048}));
  EXPECT_EQ(truncated.bytes, Numbered(50));
}

TEST(DecoderTest, EmptyEntryLeavesAnEmptyClosedFile) {
  for (int32_t end : {10, 9}) {  // no packed bytes, or an end before the start
    Decoded decoded = Decode(BytesOfHex("03 41 42 43 44"), 10, end);
    EXPECT_TRUE(decoded.bytes.empty());
    EXPECT_TRUE(decoded.chunkSizes.empty());
    EXPECT_TRUE(decoded.readSizes.empty());
    EXPECT_TRUE(decoded.writeSizes.empty());
    EXPECT_EQ(decoded.closeCount, 1);
  }
}

TEST(DecoderTest, OutputIsWrittenInPiecesAboveTheFlushThreshold) {
  // Literal runs of 128: 17 runs (2176 bytes) per write, the rest at the end.
  std::vector<uint8_t> literal = Numbered(40 * 128);
  Decoded runs = DecodeStream(LiteralRuns(literal));
  EXPECT_EQ(runs.writeSizes, (std::vector<int32_t>{2176, 2176, 768}));
  EXPECT_EQ(runs.bytes, literal);

  // Mixed tokens: every write but the last holds 2049 to 2179 bytes.
  std::mt19937 random(7);
  std::vector<uint8_t> stream = LiteralRuns(Numbered(256));
  while (stream.size() < 60000) {
    stream.push_back(static_cast<uint8_t>(0x80 + random() % 128));
    stream.push_back(static_cast<uint8_t>(1 + random() % 256));
  }
  Decoded mixed = DecodeStream(stream);
  ASSERT_GT(mixed.writeSizes.size(), 10u);
  for (size_t i = 0; i + 1 < mixed.writeSizes.size(); ++i) {
    EXPECT_GE(mixed.writeSizes[i], 2049);
    EXPECT_LE(mixed.writeSizes[i], 2179);
  }
}

TEST(DecoderTest, MatchesThePlainModelOnRandomStreamsAndShortReads) {
  std::mt19937 random(20240611);
  for (int round = 0; round < 300; ++round) {
    std::vector<uint8_t> stream;
    size_t length = random() % 12000;
    bool wellFormed = round % 2 == 0;
    while (stream.size() < length) {
      if (!wellFormed || random() % 2 == 0) {
        stream.push_back(static_cast<uint8_t>(random()));
        continue;
      }
      uint8_t t = static_cast<uint8_t>(random() % 128);
      stream.push_back(t);
      for (int k = 0; k <= t; ++k) {
        stream.push_back(static_cast<uint8_t>(random()));
      }
    }
    // A source that delivers fewer bytes than asked cuts tokens mid-stream.
    int32_t limit = -1;
    if (round % 3 == 0) {
      limit = static_cast<int32_t>(round % 2 == 0 ? random() % 3000 : random() % 40);
    }
    Decoded decoded = DecodeStream(stream, limit);
    Decoded model = DecodeWithModel(stream, limit);
    ASSERT_EQ(decoded.bytes, model.bytes) << "round " << round;
    ASSERT_EQ(decoded.writeSizes, model.writeSizes) << "round " << round;
    ASSERT_EQ(decoded.readSizes, model.readSizes) << "round " << round;
    ASSERT_EQ(decoded.chunkSizes, model.chunkSizes) << "round " << round;
  }
}

}  // namespace
