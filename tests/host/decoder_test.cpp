// Entry decompression: the worked token streams, the clipping of copies, the
// sizes of reads, writes and chunk callbacks, the decoder's report of damaged
// data, and a comparison with the format's reference model over random
// streams and short reads.
#include "archive/decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "archive/decoder_routine.h"
#include "tests/reference/reference_decoder.h"
#include "tests/host/memory_file.h"

namespace {

// An entry decoded, with the reads it made.
struct Decoded : DecodedEntry {
  std::vector<int32_t> readSizes;
};

// Decodes data[dataStart..dataEnd) of an archive holding the given bytes.
Decoded Decode(const std::vector<uint8_t>& archiveBytes, int32_t dataStart, int32_t dataEnd,
               int32_t deliveryLimit = -1, int32_t areaSize = 0) {
  MemoryFile archiveMemory;
  archiveMemory.bytes = archiveBytes;
  archiveMemory.position = static_cast<size_t>(dataStart);
  archiveMemory.deliveryLimit = deliveryLimit;
  BinaryFile archive = OpenMemoryFile(&archiveMemory);
  Decoded decoded;
  static_cast<DecodedEntry&>(decoded) = DecodeEntry(&archive, dataStart, dataEnd, areaSize);
  decoded.readSizes = archiveMemory.readSizes;
  EXPECT_TRUE(archiveMemory.writeSizes.empty() && archiveMemory.seeks.empty() &&
              archiveMemory.closeCount == 0);
  return decoded;
}

Decoded DecodeStream(const std::vector<uint8_t>& stream, int32_t deliveryLimit = -1,
                     int32_t areaSize = 0) {
  return Decode(stream, 0, static_cast<int32_t>(stream.size()), deliveryLimit, areaSize);
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

TEST(DecoderTest, CutTokensAndCopiesOutsideTheWindowDecodeAndAreReported) {
  // A literal run longer than the data left produces what is there; a copy
  // control byte without its position byte produces nothing.
  EXPECT_EQ(Text(DecodeStream(BytesOfHex("05 41 42")).bytes), "AB");
  EXPECT_EQ(Text(DecodeStream(BytesOfHex("03 41 42 43 44 FF")).bytes), "ABCD");
  EXPECT_EQ(Text(DecodeStream(BytesOfHex("03 41 42 43 44 00")).bytes), "ABCD");
  struct Case {
    const char* hex;
    bool cut;
    bool outside;
    int64_t offset;
  };
  const Case cases[] = {
      {"03 41 42 43 44 80 01 84 01", false, false, -1},  // a copy may reach the newest byte
      {"03 41 42 43 44 80 02", false, true, 5},          // one byte past the window
      {"03 41 42 43 44 80 00", false, true, 5},          // position 0
      {"80 01 00 21", false, true, 0},                   // a copy before any output
      {"00 41 00 42 05 41 42", true, false, 4},          // a literal run cut short
      {"03 41 42 43 44 81", true, false, 5},             // a copy without its position byte
      {"80 00 05 41", true, true, 0},                    // the first problem's offset
  };
  for (const Case& c : cases) {
    EntryDecoding report = DecodeStream(BytesOfHex(c.hex)).report;
    EXPECT_FALSE(report.shortRead) << c.hex;
    EXPECT_EQ(report.cutToken, c.cut) << c.hex;
    EXPECT_EQ(report.copyOutsideWindow, c.outside) << c.hex;
    EXPECT_EQ(report.problemOffset, c.offset) << c.hex;
  }
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
  // Only the last copy reaches past the newest byte; it starts at packed byte
  // stream.size() - 2.
  EXPECT_TRUE(decoded.report.copyOutsideWindow);
  EXPECT_EQ(decoded.report.problemOffset, static_cast<int64_t>(stream.size()) - 2);
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
  EXPECT_TRUE(truncated.report.shortRead);
  EXPECT_FALSE(large.report.shortRead || small.report.shortRead);
}

TEST(DecoderTest, EmptyEntryReadsAndHandsOutNothing) {
  for (int32_t end : {10, 9}) {  // no packed bytes, or an end before the start
    Decoded decoded = Decode(BytesOfHex("03 41 42 43 44"), 10, end);
    EXPECT_TRUE(decoded.bytes.empty());
    EXPECT_TRUE(decoded.chunkSizes.empty());
    EXPECT_TRUE(decoded.readSizes.empty());
    EXPECT_TRUE(decoded.pieceSizes.empty());
    EXPECT_TRUE(DecodedCleanly(decoded.report));
  }
}

TEST(DecoderTest, OutputIsHandedOutInPiecesAboveTheFlushThreshold) {
  // Literal runs of 128: 17 runs (2176 bytes) per piece, the rest at the end.
  std::vector<uint8_t> literal = Numbered(40 * 128);
  Decoded runs = DecodeStream(LiteralRuns(literal));
  EXPECT_EQ(runs.pieceSizes, (std::vector<int32_t>{2176, 2176, 768}));
  EXPECT_EQ(runs.bytes, literal);

  // Mixed tokens: every piece but the last holds 2049 to 2179 bytes.
  std::mt19937 random(7);
  std::vector<uint8_t> stream = LiteralRuns(Numbered(256));
  while (stream.size() < 60000) {
    stream.push_back(static_cast<uint8_t>(0x80 + random() % 128));
    stream.push_back(static_cast<uint8_t>(1 + random() % 256));
  }
  Decoded mixed = DecodeStream(stream);
  ASSERT_GT(mixed.pieceSizes.size(), 10u);
  for (size_t i = 0; i + 1 < mixed.pieceSizes.size(); ++i) {
    EXPECT_GE(mixed.pieceSizes[i], 2049);
    EXPECT_LE(mixed.pieceSizes[i], 2179);
  }
}

// Random streams, each copy placed inside or (now and then) outside the
// window and the last token sometimes cut, besides streams of random bytes;
// read whole or through a source that delivers fewer bytes than asked, which
// cuts tokens mid-stream. Bytes, pieces, reads, the chunk callbacks (with the
// bytes handed out before each) and the report as the reference has them,
// and a report of damage exactly for the streams that hold a bad token.
// Each routine that moves the bytes (plain words, vectors) runs every round,
// into the decoder's own output area, into a caller's area that now and then
// fills up, or into one that holds the whole output, where every piece lies
// at its final place.
TEST(DecoderTest, MatchesTheReferenceOnRandomStreamsAndShortReads) {
  int judged[2] = {0, 0};  // sound and bad streams whose verdict was compared
  const DecoderRoutine routines[] = {kWordDecoderRoutine, kVectorDecoderRoutine};
  ASSERT_TRUE(DecoderRoutineAvailable(kVectorDecoderRoutine));  // every 64-bit host has it
  for (int pass = 0; pass < 1200; ++pass) {
    const int round = pass / 2;
    ASSERT_TRUE(ChooseDecoderRoutine(routines[pass % 2]));
    const std::string where =
        "round " + std::to_string(round) + (pass % 2 == 0 ? " (words)" : " (vectors)");
    std::mt19937 random(20240611u + static_cast<uint32_t>(round));
    std::vector<uint8_t> stream;
    bool bad = false;
    if (round % 3 == 0) {
      stream.resize(random() % 12000);
      for (uint8_t& byte : stream) {
        byte = static_cast<uint8_t>(random());
      }
    } else {
      int64_t produced = 0;
      int tokens = 1 + static_cast<int>(random() % 300);
      for (int t = 0; t < tokens; t++) {
        int64_t window = std::min<int64_t>(produced, kHistoryWindowSize);
        int32_t n = 4 + static_cast<int32_t>(random() % 128);
        if (random() % 2 == 0 || window < n) {
          int32_t run = 1 + static_cast<int32_t>(random() % 128);
          stream.push_back(static_cast<uint8_t>(run - 1));
          stream.insert(stream.end(), static_cast<size_t>(run), static_cast<uint8_t>(random()));
          produced += run;
          continue;
        }
        int64_t q = 1 + static_cast<int64_t>(random() % (window - n + 1));
        if (random() % 200 == 0) {
          q = window - n + 2 + static_cast<int64_t>(random() % (n - 1));  // past the newest byte
          bad = true;
        }
        stream.push_back(static_cast<uint8_t>(n + 124));
        stream.push_back(static_cast<uint8_t>(q));
        produced += n;
      }
      if (random() % 10 == 0) {
        stream.pop_back();  // cuts the last token
        bad = true;
      }
    }
    int32_t limit = -1;
    if (round % 4 == 1) {
      limit = static_cast<int32_t>(1 + (round % 8 == 1 ? random() % 3000 : random() % 40));
    }
    DecompressionRun model =
        SimulateDecompression(stream.data(), stream.size(), 0, 0,
                              static_cast<int64_t>(stream.size()), std::max(limit, 0));
    const int areaKind = round / 3 % 3;  // own, a caller's that fills up, the whole output's
    const int32_t areaSize = areaKind == 0 ? 0
                             : areaKind == 1
                                 ? kMinOutputArea + static_cast<int32_t>(random() % 3000)
                                 : static_cast<int32_t>(model.produced.size()) + kMinOutputArea;
    Decoded decoded = DecodeStream(stream, limit, areaSize);
    ASSERT_EQ(decoded.bytes, model.produced) << where;
    ASSERT_EQ(decoded.pieceSizes, model.writes) << where;
    ASSERT_EQ(decoded.readSizes, model.chunks) << where;
    ASSERT_EQ(decoded.chunkSizes, model.chunks) << where;
    ASSERT_EQ(decoded.bytesBeforeChunk, model.writtenBeforeChunk) << where;
    // Pieces in a caller's area follow one another, except that a
    // compaction starts them again behind the kept window (an area that holds
    // the whole output is never compacted); in front of each the area holds
    // the output just before it.
    int64_t offset = 0;
    int compactions = 0;
    for (size_t k = 0; k < decoded.pieceOffsets.size(); ++k) {
      const int64_t at = decoded.pieceOffsets[k];
      if (areaKind == 0) {
        EXPECT_EQ(at, -1) << where << ", piece " << k;
      } else if (at != offset) {
        EXPECT_TRUE(areaKind == 1 && at >= 0 && at < offset && at <= kHistoryWindowSize)
            << where << ", piece " << k << " at " << at << " after a fill up to " << offset;
        ++compactions;
      }
      if (areaKind != 0) {
        ASSERT_LT(k, decoded.areaLeadsUpToPiece.size()) << where;
        EXPECT_TRUE(decoded.areaLeadsUpToPiece[k]) << where << ", piece " << k;
      }
      offset = at + decoded.pieceSizes[k];
    }
    if (areaKind == 1 && static_cast<int32_t>(decoded.bytes.size()) > areaSize) {
      EXPECT_GT(compactions, 0) << where << ": an area smaller than the output never refilled";
    }
    EXPECT_EQ(decoded.report.shortRead, model.anyReadShort) << where;
    EXPECT_EQ(decoded.report.cutToken, model.cutToken) << where;
    EXPECT_EQ(decoded.report.copyOutsideWindow, model.copyOutsideWindow) << where;
    EXPECT_EQ(decoded.report.problemOffset, model.problemOffset) << where;
    if (round % 3 != 0 && (limit < 0 || limit >= kReadChunkSize)) {
      EXPECT_EQ(!DecodedCleanly(decoded.report), bad) << where;
      judged[bad ? 1 : 0] += 1;
    }
  }
  ChooseDecoderRoutine(kVectorDecoderRoutine);
  EXPECT_GT(judged[0], 200);
  EXPECT_GT(judged[1], 100);
}

}  // namespace
