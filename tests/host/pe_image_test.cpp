// PE header parsing: both optional header formats, refusal of damaged and
// hostile images, and a seeded mutation loop over the whole resource update.
#include "peimage/pe_image.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

#include "peimage/pe_checksum.h"
#include "peimage/resource_reader.h"
#include "peimage/resource_section_update.h"
#include "tests/host/pe_test_image.h"

namespace {

const size_t kOptional = kTestPeOffset + 24;
const size_t kTable32 = kOptional + 224;

std::vector<uint8_t> StubImage(bool plus, std::vector<uint8_t> overlay = {}) {
  TestPeLayout layout;
  layout.pe32Plus = plus;
  layout.resources = StubResources();
  layout.overlay = std::move(overlay);
  return BuildTestPe(layout);
}

std::string ParseError(std::vector<uint8_t> bytes) {
  PeImage image;
  std::string error;
  return ParsePeImage(std::move(bytes), &image, &error) ? "" : error;
}

std::string TreeError(std::vector<uint8_t> bytes) {
  PeImage image;
  PeResourceTree tree;
  std::string error;
  if (!ParsePeImage(std::move(bytes), &image, &error)) {
    return "parse: " + error;
  }
  return ReadResourceTree(image, &tree, &error) ? "" : error;
}

// The file offset of entry k of the directory at offset directory of the
// resource section at base, and of the directory entry's target.
size_t Entry(size_t base, size_t directory, size_t k) {
  return base + directory + 16 + 8 * k;
}
size_t Target(const std::vector<uint8_t>& b, size_t entry) {
  return Le32(b, entry + 4) & 0x7FFFFFFF;
}

TEST(PeImageTest, ReadsHeadersOfBothFormats) {
  for (bool plus : {false, true}) {
    PeImage image;
    std::string error;
    ASSERT_TRUE(ParsePeImage(StubImage(plus, {1, 2, 3}), &image, &error)) << error;
    EXPECT_EQ(image.magic, plus ? kPe32PlusMagic : kPe32Magic);
    EXPECT_EQ(image.machine, plus ? kMachineAmd64 : kMachineI386);
    EXPECT_EQ(image.subsystem, kSubsystemWindowsGui);
    EXPECT_EQ(image.fileAlignment, kTestFileAlignment);
    EXPECT_EQ(image.sectionAlignment, kTestSectionAlignment);
    EXPECT_EQ(image.dataDirectories.size(), 16u);
    ASSERT_EQ(image.sections.size(), 3u);
    EXPECT_EQ(SectionName(image.sections[1]), ".rsrc");
    EXPECT_EQ(DataDirectory(image, kResourceDirectory).rva, image.sections[1].virtualAddress);
    EXPECT_EQ(image.sectionDataEnd + 3, image.bytes.size());
    EXPECT_EQ(image.pointerToSymbolTable, image.sectionDataEnd);
    EXPECT_EQ(ComputePeChecksum(image.bytes.data(), image.bytes.size(), CheckSumFieldOffset(image)),
              image.checkSum);

    uint32_t offset = 0;
    EXPECT_TRUE(MapRvaToFileOffset(image, kTestTextRva + 0x100, 0x23, &offset));
    EXPECT_EQ(offset, image.sections[0].rawOffset + 0x100);
    EXPECT_FALSE(MapRvaToFileOffset(image, kTestTextRva + 0x100, 0x24, &offset));  // past VS
    EXPECT_FALSE(MapRvaToFileOffset(image, 0x800, 1, &offset));                    // headers
    EXPECT_EQ(FindSectionOfRva(image, image.sizeOfImage), -1);
  }
}

TEST(PeImageTest, ChecksumCountsAnOddLastByteAndSkipsTheField) {
  std::vector<uint8_t> bytes = StubImage(false, {0xFF, 0xFE, 0xFD});
  ASSERT_EQ(bytes.size() % 2, 1u);
  size_t field = kOptional + kOptCheckSum;
  uint32_t sum = ComputePeChecksum(bytes.data(), bytes.size(), field);
  EXPECT_EQ(sum, IndependentPeChecksum(bytes, field));
  PutLe32(&bytes, field, 0xDEADBEEF);
  EXPECT_EQ(ComputePeChecksum(bytes.data(), bytes.size(), field), sum);
  bytes[bytes.size() - 1] ^= 0x01;
  EXPECT_EQ(ComputePeChecksum(bytes.data(), bytes.size(), field), sum - 1);

  // Summed in pieces as a writer does: bytes added in runs, or runs summed
  // apart and joined, at odd and even offsets alike, give the same checksum.
  PutLe32(&bytes, field, 0);
  uint32_t whole = ComputePeChecksum(bytes.data(), bytes.size(), field);
  for (size_t split = 0; split <= bytes.size(); split += 37) {
    for (size_t end : {split + 1, split + 2, bytes.size()}) {
      end = std::min(end, bytes.size());
      PeChecksumSum added{0, 0}, joined{0, 0}, middle{0, 0};
      AddToPeChecksum(&added, bytes.data(), split);
      AddToPeChecksum(&added, bytes.data() + split, end - split);
      AddToPeChecksum(&added, bytes.data() + end, bytes.size() - end);
      AddToPeChecksum(&joined, bytes.data(), split);
      AddToPeChecksum(&middle, bytes.data() + split, end - split);
      JoinPeChecksum(&joined, middle);
      AddToPeChecksum(&joined, bytes.data() + end, bytes.size() - end);
      EXPECT_EQ(FinishPeChecksum(added), whole) << split << ".." << end;
      EXPECT_EQ(FinishPeChecksum(joined), whole) << split << ".." << end;
    }
  }
}

struct Corruption {
  const char* what;
  std::function<void(std::vector<uint8_t>*)> apply;
  const char* message;
};

TEST(PeImageTest, RefusesDamagedHeaders) {
  size_t rsrc = kTable32 + 40;
  const Corruption cases[] = {
      {"no MZ", [](auto* b) { (*b)[1] = 'X'; }, "no DOS header"},
      {"PE offset", [](auto* b) { PutLe32(b, 0x3C, 0xFFFFFFF0); }, "lies outside the file"},
      {"signature", [](auto* b) { (*b)[kTestPeOffset + 1] = 'X'; }, "no PE signature"},
      {"object file", [](auto* b) { PutLe16(b, kTestPeOffset + 22, 0x100); }, "not an executable"},
      {"no sections", [](auto* b) { PutLe16(b, kTestPeOffset + 6, 0); }, "from 1 to 96"},
      {"97 sections", [](auto* b) { PutLe16(b, kTestPeOffset + 6, 97); }, "from 1 to 96"},
      {"magic", [](auto* b) { PutLe16(b, kOptional, 0x10C); }, "unknown optional header"},
      {"17 directories", [](auto* b) { PutLe32(b, kOptional + 92, 17); }, "at most 16"},
      {"short optional", [](auto* b) { PutLe16(b, kTestPeOffset + 20, 0x70); }, "do not fit"},
      {"file alignment", [](auto* b) { PutLe32(b, kOptional + 36, 0x300); }, "file alignment"},
      {"section alignment", [](auto* b) { PutLe32(b, kOptional + 32, 0x100); },
       "section alignment"},
      {"headers", [](auto* b) { PutLe32(b, kOptional + 60, 0x100); }, "SizeOfHeaders"},
      {"raw past end", [=](auto* b) { PutLe32(b, rsrc + 20, 0x7FFFFFFF); }, "past the end"},
      {"raw size wraps", [=](auto* b) { PutLe32(b, rsrc + 16, 0xFFFFFE00); }, "past the end"},
      {"raw overlap", [=](auto* b) { PutLe32(b, rsrc + 20, 0x500); }, "overlap"},
      {"raw in headers", [=](auto* b) { PutLe32(b, rsrc + 20, 0x200); }, "overlaps the headers"},
      {"unaligned VA", [=](auto* b) { PutLe32(b, rsrc + 12, 0x2800); }, "not a multiple"},
      {"VA order", [=](auto* b) { PutLe32(b, rsrc + 12, 0x1000); }, "section before it"},
      {"image size", [](auto* b) { PutLe32(b, kOptional + 56, 0x2000); }, "beyond SizeOfImage"},
  };
  for (const Corruption& corruption : cases) {
    std::vector<uint8_t> bytes = StubImage(false);
    ASSERT_EQ(ParseError(bytes), "");
    corruption.apply(&bytes);
    EXPECT_NE(ParseError(bytes).find(corruption.message), std::string::npos)
        << corruption.what << ": " << ParseError(bytes);
  }
}

TEST(PeImageTest, RefusesTruncatedImages) {
  std::vector<uint8_t> bytes = StubImage(true);
  PeImage image;
  std::string error;
  ASSERT_TRUE(ParsePeImage(bytes, &image, &error));
  for (size_t length = 0; length < bytes.size(); length += length < 0x400 ? 1 : 0x80) {
    EXPECT_NE(ParseError(std::vector<uint8_t>(bytes.begin(), bytes.begin() + length)), "")
        << length;
  }
}

TEST(PeImageTest, RefusesHostileResourceTrees) {
  size_t base = 0x600;  // raw data of .rsrc
  auto firstLanguage = [=](const std::vector<uint8_t>& b) {
    size_t names = Target(b, Entry(base, 0, 0));
    return Entry(base, Target(b, Entry(base, names, 0)), 0);
  };
  auto secondData = [=](const std::vector<uint8_t>& b) {
    size_t names = Target(b, Entry(base, 0, 0));
    return base + Le32(b, Entry(base, Target(b, Entry(base, names, 1)), 0) + 4);
  };
  const Corruption cases[] = {
      {"loop", [=](auto* b) { PutLe32(b, Entry(base, 0, 0) + 4, 0x80000000); }, "reached twice"},
      {"shared",
       [=](auto* b) { PutLe32(b, Entry(base, 0, 1) + 4, Le32(*b, Entry(base, 0, 0) + 4)); },
       "reached twice"},
      {"count", [=](auto* b) { PutLe16(b, base + 14, 0xFFFF); }, "run past the end"},
      {"data at type level", [=](auto* b) { PutLe32(b, Entry(base, 0, 0) + 4, 0x10); },
       "a data entry stands"},
      {"too deep", [&](auto* b) { PutLe32(b, firstLanguage(*b) + 4, 0x80000000 | 0x10); },
       "deeper"},
      {"named language", [&](auto* b) { PutLe32(b, firstLanguage(*b), 0x80000000); },
       "16-bit number"},
      {"wide number", [=](auto* b) { PutLe32(b, Entry(base, 0, 0), 0x10003); }, "exceeds 16 bits"},
      {"name offset",
       [=](auto* b) { PutLe32(b, Entry(base, Target(*b, Entry(base, 0, 1)), 0), 0xFFFFFFFF); },
       "a name lies outside"},
      {"data entry", [&](auto* b) { PutLe32(b, firstLanguage(*b) + 4, 0x7FFFFFF0); },
       "data entry lies outside"},
      {"data RVA", [&](auto* b) { PutLe32(b, base + Le32(*b, firstLanguage(*b) + 4), 0x90000); },
       "outside the sections"},
      {"data size",
       [&](auto* b) { PutLe32(b, base + Le32(*b, firstLanguage(*b) + 4) + 4, 0xFFFFFFFF); },
       "outside the sections"},
      {"overlap", [&](auto* b) { PutLe32(b, secondData(*b), Le32(*b, secondData(*b)) - 8); },
       "overlap"},
      {"twice", [=](auto* b) { PutLe32(b, Entry(base, Target(*b, Entry(base, 0, 0)), 1), 1); },
       "appears twice"},
      {"no section", [](auto* b) { PutLe32(b, kOptional + 96 + 16, 0x90000); }, "in no section"},
  };
  for (const Corruption& corruption : cases) {
    std::vector<uint8_t> bytes = StubImage(false);
    ASSERT_EQ(TreeError(bytes), "");
    corruption.apply(&bytes);
    EXPECT_NE(TreeError(bytes).find(corruption.message), std::string::npos)
        << corruption.what << ": " << TreeError(bytes);
  }
}

// Random damage to the headers and the resource section: every step either
// refuses with a message or succeeds, and a stored image always reads back
// with the payload in it.
TEST(PeImageTest, MutatedImagesNeverCrashTheUpdate) {
  std::mt19937 random(20240611);
  const std::vector<uint8_t> bases[] = {StubImage(false), StubImage(true, {9, 8, 7, 6})};
  size_t parsed = 0, stored = 0;
  for (int round = 0; round < 4000; ++round) {
    std::vector<uint8_t> bytes = bases[round % 2];
    int flips = 1 + static_cast<int>(random() % 6);
    for (int k = 0; k < flips; ++k) {
      size_t region = random() % 3 == 0 ? bytes.size() : random() % 2 ? 0x400 : 0x800;
      size_t at = region == 0x800 ? 0x600 + random() % 0x200 : random() % region;
      bytes[at] = random() % 4 == 0 ? 0xFF : static_cast<uint8_t>(random());
    }
    if (random() % 8 == 0) {
      bytes.resize(random() % bytes.size());
    }
    PeImage image;
    PeResourceTree tree;
    std::string error;
    if (!ParsePeImage(bytes, &image, &error) || !ReadResourceTree(image, &tree, &error)) {
      EXPECT_FALSE(error.empty());
      continue;
    }
    ++parsed;
    std::vector<uint8_t> payload(random() % 3000, static_cast<uint8_t>(round));
    ASSERT_TRUE(SetResource(&tree, NumberedResourceId(kResourceTypeRcData), NumberedResourceId(10),
                            0, payload, &error));
    std::vector<uint8_t> output;
    if (!StoreResourceSection(image, tree, &output, &error)) {
      EXPECT_FALSE(error.empty());
      EXPECT_TRUE(output.empty());
      continue;
    }
    ++stored;
    PeImage result;
    PeResourceTree readBack;
    ASSERT_TRUE(ParsePeImage(output, &result, &error)) << round << ": " << error;
    ASSERT_TRUE(ReadResourceTree(result, &readBack, &error)) << round << ": " << error;
    int index =
        FindPeResource(readBack, NumberedResourceId(kResourceTypeRcData), NumberedResourceId(10));
    ASSERT_GE(index, 0);
    EXPECT_EQ(readBack.resources[index].data, payload);
    EXPECT_EQ(readBack.resources.size(), tree.resources.size());
  }
  // The loop must reach the update often enough to mean something.
  EXPECT_GT(parsed, 400u);
  EXPECT_GT(stored, 300u);
}

}  // namespace
