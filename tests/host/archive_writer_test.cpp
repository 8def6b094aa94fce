// The archive writer: exact entry bytes, the name and size limits, write
// failures, and archives read back with the container walk and the decoder.
#include "archive/writing/archive_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "archive/container.h"
#include "archive/decoder.h"
#include "tests/host/memory_file.h"

namespace {

struct MemoryArchive {
  MemoryFile memory;
  BinaryFile file = OpenMemoryFile(&memory);
  ArchiveWriter writer;
};

bool Add(MemoryArchive* archive, const std::string& name, const std::vector<uint8_t>& data,
         std::string* error) {
  return WriteArchiveEntry(&archive->writer, name, data.data(), data.size(), nullptr, nullptr,
                           error);
}

// 25 distinct letters, then the first 23 again: one literal run and one copy.
const std::vector<uint8_t> kReadmeData = BytesOf(
    "ABCDEFGHIJKLMNOPQRSTUVWXY"
    "ABCDEFGHIJKLMNOPQRSTUVW");

TEST(ArchiveWriterTest, WritesTheTaggedLayoutByteForByte) {
  MemoryArchive archive;
  std::string error;
  ASSERT_TRUE(BeginArchiveWriter(&archive.writer, &archive.file, &error));
  ASSERT_TRUE(Add(&archive, "README.TXT", kReadmeData, &error)) << error;
  std::vector<uint8_t> expected = BytesOfHex("02 09 1C 00 00 00 30 00 00 00");
  for (const char* part : {"README.TXT", "\x18", "ABCDEFGHIJKLMNOPQRSTUVWXY", "\x93\x01"}) {
    std::vector<uint8_t> bytes = BytesOf(part);
    expected.insert(expected.end(), bytes.begin(), bytes.end());
  }
  EXPECT_EQ(archive.memory.bytes, expected);
  EXPECT_EQ(archive.writer.archiveSize, 48);
}

int32_t WriteNothing(void*, const uint8_t*, int32_t) {
  return 0;
}

TEST(ArchiveWriterTest, RefusesWhatTheFormatCannotHoldAndStopsAfterAFailedWrite) {
  MemoryArchive archive;
  std::string error;
  ASSERT_TRUE(BeginArchiveWriter(&archive.writer, &archive.file, &error));
  EXPECT_FALSE(Add(&archive, "", kReadmeData, &error));
  EXPECT_NE(error.find("empty"), std::string::npos) << error;
  EXPECT_FALSE(Add(&archive, std::string(257, 'N'), kReadmeData, &error));
  EXPECT_NE(error.find("257"), std::string::npos) << error;
  uint8_t byte = 0;
  EXPECT_FALSE(
      WriteArchiveEntry(&archive.writer, "huge", &byte, size_t{1} << 31, nullptr, nullptr, &error));

  // The README entry takes 48 bytes: it fits when the archive ends 1 byte
  // below 2 GiB, and not when it would end exactly at 2 GiB.
  archive.writer.archiveSize = kArchiveSizeLimit - 49;
  EXPECT_TRUE(Add(&archive, "README.TXT", kReadmeData, &error)) << error;
  EXPECT_EQ(archive.writer.archiveSize, kArchiveSizeLimit - 1);
  size_t written = archive.memory.bytes.size();
  archive.writer.archiveSize = kArchiveSizeLimit - 48;
  EXPECT_FALSE(Add(&archive, "README.TXT", kReadmeData, &error));
  EXPECT_NE(error.find("2 GiB"), std::string::npos) << error;
  EXPECT_EQ(archive.memory.bytes.size(), written);
  EXPECT_EQ(archive.writer.entryCount, 1);

  MemoryArchive used;
  used.memory.bytes = {0x02};
  EXPECT_FALSE(BeginArchiveWriter(&used.writer, &used.file, &error));

  // A short write fails the entry and every later one.
  BinaryFileOps failing = *archive.file.ops;
  failing.write = WriteNothing;
  archive.file.ops = &failing;
  EXPECT_FALSE(Add(&archive, "A", kReadmeData, &error));
  archive.file = OpenMemoryFile(&archive.memory);
  EXPECT_FALSE(Add(&archive, "B", kReadmeData, &error));
  EXPECT_EQ(archive.memory.bytes.size(), written);
}

TEST(ArchiveWriterTest, TheWalkAndTheDecoderReadBackEveryEntry) {
  std::mt19937 random(11);
  // Names of 1 to 256 bytes; empty, small, noisy and compressible data.
  std::vector<std::pair<std::string, std::vector<uint8_t>>> entries = {
      {"x", {}}, {std::string(256, 'l'), std::vector<uint8_t>(999, 'z')}};
  for (size_t count : {1, 300, 2048, 5000, 40000}) {
    std::vector<uint8_t> data(count);
    for (uint8_t& byte : data) {
      byte = static_cast<uint8_t>(random() % (count % 3 == 0 ? 256 : 5));
    }
    entries.emplace_back("setup" + std::to_string(count) + ".bin", data);
  }
  MemoryArchive archive;
  std::string error;
  ASSERT_TRUE(BeginArchiveWriter(&archive.writer, &archive.file, &error));
  for (const auto& entry : entries) {
    ASSERT_TRUE(Add(&archive, entry.first, entry.second, &error)) << error;
  }

  archive.memory.position = 0;
  ArchiveWalk walk;
  BeginArchiveWalk(&walk, &archive.file);
  ArchiveEntry entry;
  int32_t lastEnd = 0;
  for (const auto& expected : entries) {
    ASSERT_TRUE(ReadNextEntry(&walk, &entry)) << expected.first;
    EXPECT_EQ(std::string(entry.storedName, entry.storedNameLength), expected.first);
    EXPECT_EQ(entry.unpackedSize, static_cast<int32_t>(expected.second.size()));
    DecodedEntry decoded = DecodeEntry(&archive.file, entry.dataStart, entry.dataEnd);
    EXPECT_TRUE(decoded.bytes == expected.second) << expected.first;
    lastEnd = entry.dataEnd;
  }
  EXPECT_FALSE(ReadNextEntry(&walk, &entry));
  EXPECT_FALSE(walk.damaged);
  EXPECT_EQ(lastEnd, archive.writer.archiveSize);
}

}  // namespace
