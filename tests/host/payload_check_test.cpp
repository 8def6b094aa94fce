// The CRC-32 against its published check value and zlib, and the payload
// check record against truncated, oversized and malformed records.
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <random>
#include <vector>

#include "archive/crc32.h"
#include "archive/payload_check.h"

namespace {

std::vector<uint8_t> RandomBytes(size_t size, uint32_t seed) {
  std::mt19937 random(seed);
  std::vector<uint8_t> bytes(size);
  for (uint8_t& byte : bytes) {
    byte = static_cast<uint8_t>(random());
  }
  return bytes;
}

uint32_t ZlibCrc32(const uint8_t* data, size_t size) {
  return static_cast<uint32_t>(crc32(crc32(0, nullptr, 0), data, static_cast<uInt>(size)));
}

TEST(Crc32, CheckValueAndZlibOnEveryAlignmentAndSplit) {
  const char* check = "123456789";
  EXPECT_EQ(UpdateCrc32(0, reinterpret_cast<const uint8_t*>(check), 9), 0xCBF43926u);
  EXPECT_EQ(UpdateCrc32(0, nullptr, 0), 0u);

  std::vector<uint8_t> data = RandomBytes(70000, 1);
  EXPECT_EQ(UpdateCrc32(0, data.data(), data.size()), ZlibCrc32(data.data(), data.size()));
  // Short lengths and odd starts cross the eight-byte steps in every way;
  // a CRC continued at any split equals the one made in one piece.
  for (size_t start = 0; start < 9; ++start) {
    for (size_t length = 0; length < 40; ++length) {
      const uint8_t* piece = data.data() + start;
      uint32_t whole = UpdateCrc32(0, piece, length);
      ASSERT_EQ(whole, ZlibCrc32(piece, length)) << start << " " << length;
      for (size_t split = 0; split <= length; split += 7) {
        ASSERT_EQ(UpdateCrc32(UpdateCrc32(0, piece, split), piece + split, length - split), whole);
      }
    }
  }
}

class PayloadCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    StorePayloadCheckRecord(static_cast<uint32_t>(payload.size()),
                            UpdateCrc32(0, payload.data(), payload.size()), 932, record);
  }
  PayloadCheckResult Check(const uint8_t* recordBytes, size_t recordSize) const {
    return CheckPayload(payload.data(), payload.size(), recordBytes, recordSize);
  }

  std::vector<uint8_t> payload = RandomBytes(5000, 2);
  uint8_t record[kPayloadCheckRecordSize];
};

TEST_F(PayloadCheckTest, WrittenRecordReadsBackAndMatches) {
  const uint8_t head[8] = {'E', 'E', 'K', 'C', 2, 0, 0, 0};
  EXPECT_EQ(std::memcmp(record, head, sizeof head), 0);
  const uint8_t codePage[4] = {0xA4, 0x03, 0, 0};  // 932
  EXPECT_EQ(std::memcmp(record + 16, codePage, sizeof codePage), 0);
  PayloadCheckRecord read;
  ASSERT_TRUE(ReadPayloadCheckRecord(record, sizeof record, &read));
  EXPECT_EQ(read.payloadLength, 5000u);
  EXPECT_EQ(read.payloadCrc, ZlibCrc32(payload.data(), payload.size()));
  EXPECT_EQ(read.codePage, 932u);
  EXPECT_EQ(Check(record, sizeof record), kPayloadMatchesRecord);

  uint8_t empty[kPayloadCheckRecordSize];
  StorePayloadCheckRecord(0, 0, 1252, empty);
  EXPECT_EQ(CheckPayload(nullptr, 0, empty, sizeof empty), kPayloadMatchesRecord);

  // A version 1 record, as installers made before the code page carry: the
  // same fields without it, read as before, naming no code page.
  uint8_t older[kPayloadCheckRecordV1Size];
  std::memcpy(older, record, sizeof older);
  older[4] = 1;
  ASSERT_TRUE(ReadPayloadCheckRecord(older, sizeof older, &read));
  EXPECT_EQ(read.payloadLength, 5000u);
  EXPECT_EQ(read.codePage, 0u);
  EXPECT_EQ(Check(older, sizeof older), kPayloadMatchesRecord);
  older[15] ^= 0x80;
  EXPECT_EQ(Check(older, sizeof older), kPayloadCrcDiffers);
}

TEST_F(PayloadCheckTest, ChangedPayloadDoesNotMatch) {
  for (size_t at : {size_t{0}, size_t{2500}, payload.size() - 1}) {
    payload[at] ^= 0x20;
    EXPECT_EQ(Check(record, sizeof record), kPayloadCrcDiffers) << at;
    payload[at] ^= 0x20;
  }
  EXPECT_EQ(CheckPayload(payload.data(), payload.size() - 1, record, sizeof record),
            kPayloadLengthDiffers);
  payload.push_back(0);
  EXPECT_EQ(Check(record, sizeof record), kPayloadLengthDiffers);
  EXPECT_EQ(CheckPayload(nullptr, 5000, record, sizeof record), kPayloadLengthDiffers);
}

TEST_F(PayloadCheckTest, TruncatedOversizedAndMalformedRecordsAreRefused) {
  PayloadCheckRecord read;
  for (size_t size = 0; size < kPayloadCheckRecordSize; ++size) {
    EXPECT_FALSE(ReadPayloadCheckRecord(record, size, &read)) << size;
    EXPECT_EQ(Check(record, size), kPayloadRecordMalformed) << size;
  }
  std::vector<uint8_t> longer(record, record + sizeof record);
  longer.resize(64);
  for (size_t size : {size_t{21}, size_t{24}, size_t{64}}) {
    EXPECT_EQ(Check(longer.data(), size), kPayloadRecordMalformed) << size;
  }
  // Each version has its own size: version 2 cut to the size of version 1,
  // and version 1 with four bytes more, are malformed.
  std::vector<uint8_t> older(record, record + sizeof record);
  older[4] = 1;
  EXPECT_EQ(Check(older.data(), older.size()), kPayloadRecordMalformed);
  older[4] = 3;
  EXPECT_EQ(Check(older.data(), kPayloadCheckRecordV1Size), kPayloadRecordMalformed);
  EXPECT_EQ(Check(nullptr, 0), kPayloadRecordMalformed);
  EXPECT_EQ(Check(nullptr, sizeof record), kPayloadRecordMalformed);
  // Every byte of the tag and the version counts.
  for (size_t at = 0; at < 8; ++at) {
    uint8_t changed[kPayloadCheckRecordSize];
    std::memcpy(changed, record, sizeof record);
    changed[at] ^= 0x01;
    EXPECT_EQ(Check(changed, sizeof changed), kPayloadRecordMalformed) << at;
  }
  // The recorded length and CRC are compared as written.
  uint8_t changed[kPayloadCheckRecordSize];
  std::memcpy(changed, record, sizeof record);
  changed[11] = 0x80;
  EXPECT_EQ(Check(changed, sizeof changed), kPayloadLengthDiffers);
  std::memcpy(changed, record, sizeof record);
  changed[15] ^= 0x80;
  EXPECT_EQ(Check(changed, sizeof changed), kPayloadCrcDiffers);
}

}  // namespace
