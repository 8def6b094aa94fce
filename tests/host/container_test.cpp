// Walking archives: both layouts, the layout choice, cut archives, the end
// position text, headers that would send the walk backwards or nowhere, and
// random archives against the format's reference walk.
#include "archive/container.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "archive/decoder.h"
#include "tests/reference/reference_walk.h"
#include "tests/host/memory_file.h"

namespace {

struct WalkedEntry {
  std::string name;
  int32_t position;
  int32_t dataStart;
  int32_t dataEnd;
  int32_t unpackedSize;
  bool cut;
};

struct WalkResult {
  int32_t layout = 0;
  std::vector<WalkedEntry> entries;
  bool damaged = false;
  bool truncated = false;
};

// Walks an archive as the extraction does, decoding each entry's data so that
// the archive's read position and short-read mark move as they do there.
WalkResult Walk(const std::vector<uint8_t>& bytes) {
  MemoryFile memory;
  memory.bytes = bytes;
  BinaryFile archive = OpenMemoryFile(&memory);
  ArchiveWalk walk;
  BeginArchiveWalk(&walk, &archive);
  WalkResult result;
  result.layout = walk.layout;
  ArchiveEntry entry;
  size_t limit = bytes.size() / 10 + 2;  // every entry takes at least 10 bytes
  while (ReadNextEntry(&walk, &entry)) {
    result.entries.push_back(
        {std::string(entry.trimmedName, static_cast<size_t>(entry.trimmedNameLength)),
         entry.position, entry.dataStart, entry.dataEnd, entry.unpackedSize, entry.cut});
    EXPECT_EQ(entry.trimmedName[entry.trimmedNameLength], '\0');
    // The archive's short-read mark tells the same as the entry: a cut header
    // or name leaves it set for whoever looks at the archive next.
    EXPECT_EQ(BinaryFileAtEnd(&archive), entry.cut) << "entry at " << entry.position;
    DecodeEntry(&archive, entry.dataStart, entry.dataEnd);
    if (result.entries.size() > limit) {
      ADD_FAILURE() << "the walk does not end";
      break;
    }
  }
  EXPECT_FALSE(ReadNextEntry(&walk, &entry));  // stays ended
  result.damaged = walk.damaged;
  result.truncated = walk.truncated;
  return result;
}

std::vector<uint8_t> TaggedEntry(const std::string& name, int32_t packedSize, int32_t unpackedSize,
                                 const std::vector<uint8_t>& data) {
  std::vector<uint8_t> bytes = {0x02, static_cast<uint8_t>(name.size() - 1)};
  for (int32_t value : {packedSize, unpackedSize}) {
    for (int shift = 0; shift < 32; shift += 8) {
      bytes.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> shift));
    }
  }
  bytes.insert(bytes.end(), name.begin(), name.end());
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

std::vector<uint8_t> FixedEntry(const std::string& name, const std::string& endField,
                                const std::vector<uint8_t>& data) {
  std::string header = name + std::string(12 - name.size(), ' ') + endField;
  std::vector<uint8_t> bytes = BytesOf(header);
  bytes.insert(bytes.end(), data.begin(), data.end());
  return bytes;
}

std::vector<uint8_t> Join(std::vector<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> bytes;
  for (const auto& part : parts) {
    bytes.insert(bytes.end(), part.begin(), part.end());
  }
  return bytes;
}

const std::vector<uint8_t> kData28(28, 0x00);  // 14 one-byte literal runs

TEST(ContainerTest, ReadmeEntryInBothLayouts) {
  std::vector<uint8_t> tagged =
      BytesOfHex("02 09 1C 00 00 00 30 00 00 00 52 45 41 44 4D 45 2E 54 58 54");
  tagged.insert(tagged.end(), kData28.begin(), kData28.end());
  WalkResult walked = Walk(tagged);
  EXPECT_EQ(walked.layout, kTaggedLayout);
  ASSERT_EQ(walked.entries.size(), 1u);
  EXPECT_EQ(walked.entries[0].name, "README.TXT");
  EXPECT_EQ(walked.entries[0].dataStart, 20);
  EXPECT_EQ(walked.entries[0].dataEnd, 48);
  EXPECT_EQ(walked.entries[0].unpackedSize, 48);
  EXPECT_FALSE(walked.damaged);

  WalkResult fixed = Walk(FixedEntry("README.TXT", "      48", kData28));
  EXPECT_EQ(fixed.layout, kFixedLayout);
  ASSERT_EQ(fixed.entries.size(), 1u);
  EXPECT_EQ(fixed.entries[0].name, "README.TXT");
  EXPECT_EQ(fixed.entries[0].dataStart, 20);
  EXPECT_EQ(fixed.entries[0].dataEnd, 48);
  EXPECT_FALSE(fixed.damaged);
}

TEST(ContainerTest, EntriesFollowOneAnotherAndNamesAreTrimmed) {
  std::vector<uint8_t> archive =
      Join({TaggedEntry(" Setup.exe ", 2, 1, BytesOfHex("00 41")), TaggedEntry("e", 0, 0, {}),
            TaggedEntry(std::string(256, 'x'), 2, 1, BytesOf("\x00y"))});
  WalkResult walked = Walk(archive);
  ASSERT_EQ(walked.entries.size(), 3u);
  EXPECT_EQ(walked.entries[0].name, "Setup.exe");
  EXPECT_EQ(walked.entries[1].name, "e");
  EXPECT_EQ(walked.entries[1].position, 23);
  EXPECT_EQ(walked.entries[1].dataStart, walked.entries[1].dataEnd);  // packed size 0
  EXPECT_EQ(walked.entries[2].position, 34);
  EXPECT_EQ(walked.entries[2].name, std::string(256, 'x'));
  EXPECT_FALSE(walked.damaged);

  // The fixed layout keeps leading spaces; its data may be empty.
  WalkResult fixed = Walk(Join({FixedEntry("  Setup.exe", "      22", BytesOfHex("00 41")),
                                FixedEntry("b", "      42", {})}));
  ASSERT_EQ(fixed.entries.size(), 2u);
  EXPECT_EQ(fixed.entries[0].name, "  Setup.exe");
  EXPECT_EQ(fixed.entries[1].dataStart, 42);
  EXPECT_EQ(fixed.entries[1].dataEnd, 42);
  EXPECT_FALSE(fixed.damaged);
}

TEST(ContainerTest, FirstByteChoosesTheLayout) {
  EXPECT_TRUE(Walk({}).entries.empty());
  EXPECT_FALSE(Walk({}).damaged);
  // A fixed-layout archive whose first name starts with 0x02 reads as tagged:
  // header byte 1 ("A") gives a 66-byte name, and the rest is read from there.
  std::vector<uint8_t> misread = FixedEntry(
      "\x02"
      "ABC",
      "      22", BytesOfHex("00 41"));
  WalkResult walked = Walk(misread);
  EXPECT_EQ(walked.layout, kTaggedLayout);
  ASSERT_EQ(walked.entries.size(), 1u);
  EXPECT_EQ(walked.entries[0].dataStart, 10 + 0x41 + 1);
}

TEST(ContainerTest, CutArchivesEndAfterTheCutEntry) {
  std::vector<uint8_t> whole =
      Join({TaggedEntry("A", 28, 14, kData28), TaggedEntry("B", 28, 14, kData28)});
  for (size_t cut : {size_t{1}, size_t{3}, size_t{15}, size_t{39}, size_t{40}, size_t{41},
                     size_t{45}, size_t{50}, size_t{60}}) {
    WalkResult walked = Walk(std::vector<uint8_t>(whole.begin(), whole.begin() + cut));
    EXPECT_FALSE(walked.damaged) << cut;
    // The cut entry is still handed out, with whatever of its header arrived,
    // and the walk reports the archive cut (39 bytes are the first entry,
    // whole). One byte into the second header (40) has no name to read, which
    // must not hide the cut.
    size_t expected = cut <= 39 ? 1 : 2;
    ASSERT_EQ(walked.entries.size(), expected) << cut;
    EXPECT_EQ(walked.truncated, cut != 39) << cut;
    bool headerCut = cut < 11 || (cut > 39 && cut < 50);
    EXPECT_EQ(walked.entries.back().cut, headerCut) << cut;
  }
  WalkResult complete = Walk(whole);
  EXPECT_FALSE(complete.truncated || complete.entries.back().cut);
  // Only the tag arrived: no name-length byte, so no name and no data.
  WalkResult tagOnly = Walk({0x02});
  ASSERT_EQ(tagOnly.entries.size(), 1u);
  EXPECT_EQ(tagOnly.entries[0].name, "");
  EXPECT_EQ(tagOnly.entries[0].dataStart, 10);
  EXPECT_EQ(tagOnly.entries[0].dataEnd, 10);
  // Missing bytes of the packed size count as zero bytes.
  WalkResult halfSize = Walk(BytesOfHex("02 00 1C 01"));
  ASSERT_EQ(halfSize.entries.size(), 1u);
  EXPECT_EQ(halfSize.entries[0].dataEnd, 11 + 0x011C);
  // A fixed header cut inside its end field reads the digits that arrived.
  WalkResult fixed = Walk(BytesOf("README.TXT    4"));
  ASSERT_EQ(fixed.entries.size(), 0u);  // "  4" ends before its own data: damaged
  EXPECT_TRUE(fixed.damaged);
}

TEST(ContainerTest, HeadersThatWouldNotMoveTheWalkForwardEndIt) {
  struct Case {
    const char* what;
    std::vector<uint8_t> archive;
    size_t entriesBefore;
  };
  std::vector<Case> cases = {
      {"negative packed size", TaggedEntry("A", -11, 0, {}), 0},
      {"negative packed size later",
       Join({TaggedEntry("A", 1, 0, {0x00}), TaggedEntry("B", -24, 0, {})}), 1},
      {"data end past 2 GiB", TaggedEntry("A", INT32_MAX - 5, 0, {}), 0},
      {"end position in place", FixedEntry("A", "       0", {}), 0},
      {"end position inside the header", FixedEntry("A", "      19", {}), 0},
      {"end position backwards",
       Join({FixedEntry("A", "      21", {0x00}), FixedEntry("B", "      10", {})}), 1},
      {"end position negative", FixedEntry("A", "    -400", {}), 0},
      {"end field without a number", FixedEntry("A", "   abcde", {}), 0},
  };
  for (const Case& c : cases) {
    WalkResult walked = Walk(c.archive);
    EXPECT_TRUE(walked.damaged) << c.what;
    EXPECT_EQ(walked.entries.size(), c.entriesBefore) << c.what;
  }
  // The largest packed size that keeps the data end at 2 GiB - 1 is accepted.
  WalkResult edge = Walk(TaggedEntry("A", INT32_MAX - 11, 0, {}));
  ASSERT_EQ(edge.entries.size(), 1u);
  EXPECT_EQ(edge.entries[0].dataEnd, INT32_MAX);
  EXPECT_FALSE(edge.damaged);
}

TEST(ContainerTest, EndPositionText) {
  struct Case {
    const char* text;
    int32_t value;
  } cases[] = {
      {"      48", 48},  {" 47.5", 48}, {"48.5", 48},     {"49.5", 50},    {"-3", -3},
      {"+7", 7},         {"  .75", 1},  {".25", 0},       {"abc", 0},      {"", 0},
      {"\t\r\n 12", 12}, {"12abc", 12}, {"5.", 5},        {".", 0},        {"- 5", 0},
      {"-2.5", -2},      {"-2.51", -3}, {"0.5000001", 1}, {"2.500000", 2}, {"99999999", 99999999},
      {"\v12", 0},       {"1e3", 1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseEndPosition(c.text, static_cast<int32_t>(std::string(c.text).size())), c.value)
        << '"' << c.text << '"';
  }
  // Only the field's length is read.
  EXPECT_EQ(ParseEndPosition("12345", 3), 123);
  EXPECT_EQ(ParseEndPosition("99999999999999", 14), INT32_MAX);
}

TEST(ContainerTest, RandomBytesEndTheWalkAsTheReferenceWalkDoes) {
  std::mt19937 random(1234);
  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> bytes(random() % 3000);
    for (uint8_t& byte : bytes) {
      // Mostly small values and digits, so that sizes and end positions stay near.
      byte = static_cast<uint8_t>(random() % 4 == 0 ? random()
                                                    : "0123456789 .\x02\x00"[random() % 14]);
    }
    if (!bytes.empty() && round % 2 == 0) {
      bytes[0] = 0x02;
    }
    // Fails inside when the walk takes more steps than the bytes allow.
    WalkResult walked = Walk(bytes);
    ModelWalk model = WalkArchiveModel(bytes.data(), bytes.size());
    ASSERT_EQ(walked.entries.size(), model.entries.size()) << "round " << round;
    for (size_t k = 0; k < model.entries.size(); ++k) {
      EXPECT_EQ(walked.entries[k].position, model.entries[k].position) << "round " << round;
      EXPECT_EQ(walked.entries[k].dataStart, model.entries[k].dataStart) << "round " << round;
      EXPECT_EQ(walked.entries[k].dataEnd, model.entries[k].dataEnd) << "round " << round;
      EXPECT_EQ(walked.entries[k].cut, model.entries[k].cut) << "round " << round;
    }
    EXPECT_EQ(walked.damaged, model.damaged) << "round " << round;
    EXPECT_EQ(walked.truncated, model.truncated) << "round " << round;
  }
}

}  // namespace
