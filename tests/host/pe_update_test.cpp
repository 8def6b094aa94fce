// Storing a new resource section: the replaced section with the relocations
// moved behind it, the appended section, the streamed payload, header fields,
// checksum, the overlay, refusals, and the project's own
// installer executables when the Windows builds are present.
#include "peimage/resource_section_update.h"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <iterator>

#include "peimage/little_endian.h"
#include "peimage/resource_reader.h"
#include "tests/host/pe_test_image.h"

namespace {

const PeResourceId kRcData = NumberedResourceId(kResourceTypeRcData);
const PeResourceId kPayloadId = NumberedResourceId(10);

std::vector<uint8_t> Payload(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t k = 0; k < size; ++k) {
    bytes[k] = static_cast<uint8_t>(k * 13 + 5);
  }
  return bytes;
}

// Parses, sets the payload, stores; the output and the tree set.
bool Update(const std::vector<uint8_t>& input, const std::vector<uint8_t>& payload,
            std::vector<uint8_t>* output, std::string* error, PeResourceTree* tree = nullptr) {
  PeImage image;
  PeResourceTree local;
  tree = tree != nullptr ? tree : &local;
  return ParsePeImage(input, &image, error) && ReadResourceTree(image, tree, error) &&
         SetResource(tree, kRcData, kPayloadId, ChooseResourceLanguage(*tree), payload, error) &&
         StoreResourceSection(image, *tree, output, error);
}

std::vector<uint8_t> UpdateOrFail(const std::vector<uint8_t>& input,
                                  const std::vector<uint8_t>& payload) {
  std::vector<uint8_t> output;
  std::string error;
  EXPECT_TRUE(Update(input, payload, &output, &error)) << error;
  return output;
}

// The invariants of a stored image; the image and its resources in image/tree.
void ExpectSoundImage(const std::vector<uint8_t>& bytes, bool exactInitializedData, PeImage* image,
                      PeResourceTree* tree) {
  std::string error;
  ASSERT_TRUE(ParsePeImage(bytes, image, &error)) << error;
  ASSERT_TRUE(ReadResourceTree(*image, tree, &error)) << error;
  uint32_t initialized = 0;
  for (const PeSection& section : image->sections) {
    EXPECT_EQ(section.virtualAddress % image->sectionAlignment, 0u);
    EXPECT_EQ(section.rawOffset % image->fileAlignment, 0u) << SectionName(section);
    EXPECT_EQ(section.rawSize % image->fileAlignment, 0u) << SectionName(section);
    initialized += section.characteristics & kSectionInitializedData ? section.rawSize : 0;
  }
  const PeSection& last = image->sections.back();
  EXPECT_EQ(image->sizeOfImage,
            AlignUp(last.virtualAddress + SectionSpan(last), image->sectionAlignment));
  // One resource section, starting with the directory, and no other.
  int resources = FindSectionOfRva(*image, DataDirectory(*image, kResourceDirectory).rva);
  ASSERT_GE(resources, 0);
  const PeSection& rsrc = image->sections[resources];
  EXPECT_EQ(SectionName(rsrc), ".rsrc");
  EXPECT_EQ(DataDirectory(*image, kResourceDirectory).rva, rsrc.virtualAddress);
  EXPECT_EQ(DataDirectory(*image, kResourceDirectory).size, rsrc.virtualSize);
  for (const PeSection& section : image->sections) {
    EXPECT_TRUE(&section == &rsrc || SectionName(section).find("rsrc") == std::string::npos)
        << SectionName(section);
  }
  EXPECT_EQ(image->checkSum, IndependentPeChecksum(bytes, CheckSumFieldOffset(*image)));
  if (exactInitializedData) {
    EXPECT_EQ(Le32(bytes, image->optionalHeaderOffset + 8), initialized);
  }
}

std::vector<uint8_t> SectionBytes(const PeImage& image, size_t index) {
  const PeSection& s = image.sections[index];
  return std::vector<uint8_t>(image.bytes.begin() + s.rawOffset,
                              image.bytes.begin() + s.rawOffset + s.rawSize);
}

void ExpectStubResourcesKept(const PeResourceTree& before, const PeResourceTree& after) {
  ASSERT_EQ(after.resources.size(), before.resources.size() + 1);
  for (const PeResource& old : before.resources) {
    int index = FindPeResource(after, old.type, old.name);
    ASSERT_GE(index, 0) << DescribeResourceId(old.name);
    EXPECT_EQ(after.resources[index].language, old.language);
    EXPECT_TRUE(after.resources[index].data == old.data) << DescribeResourceId(old.name);
  }
}

TEST(PeUpdateTest, ReplacesTheResourceSectionAndMovesTheRelocationsBehindIt) {
  for (bool plus : {false, true}) {
    TestPeLayout layout;
    layout.pe32Plus = plus;
    layout.resources = StubResources();
    layout.exactResourceRawSize = plus;  // replaced by an aligned one
    PeImage before;
    PeResourceTree stubTree, tree;
    std::string error;
    ASSERT_TRUE(ParsePeImage(BuildTestPe(layout), &before, &error));
    ASSERT_TRUE(ReadResourceTree(before, &stubTree, &error));
    PeImage image;
    ExpectSoundImage(UpdateOrFail(before.bytes, Payload(5000)), true, &image, &tree);
    ExpectStubResourcesKept(stubTree, tree);
    EXPECT_EQ(tree.resources[FindPeResource(tree, kRcData, kPayloadId)].data, Payload(5000));
    EXPECT_EQ(tree.resources[FindPeResource(tree, kRcData, kPayloadId)].language, 0x409);

    // The stub's sections and the new resource section, nothing else: the
    // resources where they were, the relocations moved up behind them.
    ASSERT_EQ(image.sections.size(), 3u);
    EXPECT_EQ(SectionName(image.sections[1]), ".rsrc");
    EXPECT_EQ(image.sections[1].virtualAddress, before.sections[1].virtualAddress);
    EXPECT_EQ(image.sections[1].rawOffset, before.sections[1].rawOffset);
    EXPECT_EQ(SectionBytes(image, 0), SectionBytes(before, 0));  // .text
    EXPECT_EQ(SectionName(image.sections[2]), ".reloc");
    EXPECT_GT(image.sections[2].virtualAddress, before.sections[2].virtualAddress);
    EXPECT_EQ(SectionBytes(image, 2), SectionBytes(before, 2));
    EXPECT_EQ(DataDirectory(image, kBaseRelocationDirectory).rva, image.sections[2].virtualAddress);
    EXPECT_EQ(DataDirectory(image, kBaseRelocationDirectory).size,
              DataDirectory(before, kBaseRelocationDirectory).size);

    // Again, smaller: everything moves back down.
    PeImage again;
    PeResourceTree againTree;
    ExpectSoundImage(UpdateOrFail(image.bytes, Payload(3)), true, &again, &againTree);
    ASSERT_EQ(again.sections.size(), 3u);
    EXPECT_EQ(again.sections[2].virtualAddress, before.sections[2].virtualAddress);
    EXPECT_EQ(SectionBytes(again, 2), SectionBytes(before, 2));
    EXPECT_LT(again.bytes.size(), image.bytes.size());
    EXPECT_EQ(againTree.resources[FindPeResource(againTree, kRcData, kPayloadId)].data, Payload(3));
  }
}

// A payload streamed in by the writer gives the very image that one held in
// the tree gives, checksum included, at odd and even sizes.
TEST(PeUpdateTest, StreamedPayloadMakesTheSameImage) {
  for (bool reloc : {true, false}) {
    TestPeLayout layout;
    layout.relocAfterResources = reloc;
    layout.resources = StubResources();
    layout.overlay = {'O', 'V', 'E', 'R'};
    PeImage image;
    PeResourceTree tree;
    std::string error;
    ASSERT_TRUE(ParsePeImage(BuildTestPe(layout), &image, &error));
    ASSERT_TRUE(ReadResourceTree(image, &tree, &error));
    for (size_t size : {size_t{1}, size_t{4097}, size_t{70000}}) {
      std::vector<uint8_t> payload = Payload(size);
      std::vector<uint8_t> whole;
      ASSERT_TRUE(Update(image.bytes, payload, &whole, &error)) << error;
      PeResourceTree streamedTree = tree;
      ASSERT_TRUE(SetStreamedResource(&streamedTree, kRcData, kPayloadId, 0x409, size, &error));
      PeChecksumSum sum{0, 0};
      AddToPeChecksum(&sum, payload.data(), payload.size());
      PeImageParts parts;
      ASSERT_TRUE(LayOutResourceImage(image, streamedTree, sum, &parts, &error)) << error;
      EXPECT_EQ(parts.streamedSize, size);
      std::vector<uint8_t> joined = parts.head;
      joined.insert(joined.end(), payload.begin(), payload.end());
      joined.insert(joined.end(), parts.tail.begin(), parts.tail.end());
      EXPECT_TRUE(joined == whole) << size;
      // A sum over other bytes than the streamed ones is refused.
      PeChecksumSum wrong{0, 0};
      AddToPeChecksum(&wrong, payload.data(), payload.size() - 1);
      EXPECT_FALSE(LayOutResourceImage(image, streamedTree, wrong, &parts, &error));
    }
  }
}

TEST(PeUpdateTest, RewritesALastSectionAndCarriesTheOverlay) {
  TestPeLayout layout;
  layout.pe32Plus = true;
  layout.relocAfterResources = false;
  layout.resources = StubResources();
  // An old payload in directory order (after the icons), replaced rather than duplicated.
  layout.resources.insert(layout.resources.begin() + 2, RcDataResource(10, 0, Payload(10)));
  layout.overlay = {'S', 'Y', 'M', 'B', 'O', 'L', 'S'};
  layout.debugEntryIntoOverlay = true;
  std::vector<uint8_t> input = BuildTestPe(layout);
  size_t sizes[] = {70000, 100, 0};
  for (size_t size : sizes) {
    PeImage image;
    PeResourceTree tree;
    ExpectSoundImage(UpdateOrFail(input, Payload(size)), true, &image, &tree);
    ASSERT_EQ(image.sections.size(), 2u);
    EXPECT_EQ(tree.resources.size(), 6u);
    EXPECT_EQ(tree.resources[FindPeResource(tree, kRcData, kPayloadId)].data, Payload(size));
    EXPECT_EQ(tree.resources[FindPeResource(tree, kRcData, kPayloadId)].language, 0);
    uint32_t overlay = image.sectionDataEnd;
    EXPECT_EQ(image.pointerToSymbolTable, overlay);
    EXPECT_EQ(std::vector<uint8_t>(image.bytes.begin() + overlay, image.bytes.end()),
              layout.overlay);
    uint32_t debug = image.sections[0].rawOffset + (kTestDebugDirectoryRva - kTestTextRva);
    EXPECT_EQ(Le32(image.bytes, debug + 24), overlay);
    input = image.bytes;
  }
}

TEST(PeUpdateTest, GivesAnImageWithoutResourcesASection) {
  TestPeLayout layout;
  layout.withResources = false;
  PeImage image;
  PeResourceTree tree;
  ExpectSoundImage(UpdateOrFail(BuildTestPe(layout), Payload(1)), true, &image, &tree);
  ASSERT_EQ(tree.resources.size(), 1u);
  EXPECT_EQ(tree.resources[0].language, 0);
  EXPECT_EQ(image.sections.size(), 3u);
}

TEST(PeUpdateTest, RefusesImagesItCannotExtendSoundly) {
  struct Case {
    const char* what;
    std::function<void(TestPeLayout*)> layout;
    std::function<void(std::vector<uint8_t>*)> patch;
    const char* message;
  };
  const size_t optional = kTestPeOffset + 24;
  const size_t directories = optional + 96;
  // Without resources a section is appended after .text and .reloc.
  const size_t tableEnd = optional + 224 + 2 * 40;
  auto appended = [](TestPeLayout* s) { s->withResources = false; };
  const Case cases[] = {
      {"signed", nullptr, [=](auto* b) { PutLe32(b, directories + 8 * 4 + 4, 0x100); }, "signed"},
      {"two directories", nullptr, [=](auto* b) { PutLe32(b, optional + 92, 2); },
       "no data directory entry for resources"},
      {"headers full",
       [](TestPeLayout* s) {
         s->withResources = false;
         s->sizeOfHeaders = 0x1D0;
       },
       nullptr, "no room"},
      {"bound imports", appended, [=](auto* b) { (*b)[tableEnd + 39] = 1; }, "in use"},
      // What follows the resources moves only when it is discardable and
      // nothing relocated points at what moves.
      {"not discardable", nullptr,
       [=](auto* b) { PutLe32(b, optional + 224 + 2 * 40 + 36, 0x40000040); }, "cannot move"},
      {"address into relocations", [](TestPeLayout* s) { s->relocatedAddress = 0x3004; }, nullptr,
       "points to 0x3004"},
      {"address into resources", [](TestPeLayout* s) { s->relocatedAddress = 0x2010; }, nullptr,
       "points to 0x2010"},
      {"import table in resources", nullptr, [=](auto* b) { PutLe32(b, directories + 8, 0x2040); },
       "data directory 1"},
      {"unknown relocation", nullptr,
       [=](auto* b) {
         size_t reloc = Le32(*b, optional + 224 + 2 * 40 + 20);
         PutLe16(b, reloc + 8, 0x5020);
       },
       "type 5"},
  };
  for (const Case& c : cases) {
    TestPeLayout layout;
    layout.resources = StubResources();
    if (c.layout) {
      c.layout(&layout);
    }
    std::vector<uint8_t> input = BuildTestPe(layout);
    if (c.patch) {
      c.patch(&input);
    }
    std::vector<uint8_t> output;
    std::string error;
    EXPECT_FALSE(Update(input, Payload(10), &output, &error)) << c.what;
    EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
    EXPECT_TRUE(output.empty());
  }
}

// The installer executables of the Windows builds, with and without a payload.
TEST(PeUpdateTest, UpdatesTheProjectInstallers) {
  const std::string files[] = {
      OSTREL_WIN32_BUILD_DIR "/OstrelTarvine64Setup.exe",
      OSTREL_WIN32_BUILD_DIR "/installer/OstrelTarvine64SetupStub.exe",
      OSTREL_WIN64_BUILD_DIR "/OstrelTarvine64Setup.exe",
      OSTREL_WIN64_BUILD_DIR "/installer/OstrelTarvine64SetupStub.exe",
  };
  std::vector<std::string> missing;
  for (const std::string& path : files) {
    SCOPED_TRACE(path);
    std::ifstream file(path, std::ios::binary);
    if (!file) {
      missing.push_back(path);
      continue;
    }
    std::vector<uint8_t> input((std::istreambuf_iterator<char>(file)), {});
    PeImage stub, image;
    PeResourceTree stubTree, tree;
    std::string error;
    ASSERT_TRUE(ParsePeImage(input, &stub, &error)) << error;
    // The linker's own checksum agrees with the computed one.
    EXPECT_EQ(stub.checkSum, IndependentPeChecksum(input, CheckSumFieldOffset(stub)));
    ASSERT_TRUE(ReadResourceTree(stub, &stubTree, &error)) << error;
    ASSERT_GE(FindPeResource(stubTree, NumberedResourceId(kResourceTypeGroupIcon),
                             NamedResourceId("OSTREL")),
              0);
    int oldPayload = FindPeResource(stubTree, kRcData, kPayloadId);
    if (oldPayload >= 0) {
      stubTree.resources.erase(stubTree.resources.begin() + oldPayload);
    }
    ExpectSoundImage(UpdateOrFail(input, Payload(123457)), false, &image, &tree);
    ExpectStubResourcesKept(stubTree, tree);
    EXPECT_EQ(tree.resources[FindPeResource(tree, kRcData, kPayloadId)].data, Payload(123457));
  }
  if (!missing.empty()) {
    GTEST_SKIP() << "Windows build not present: " << missing.front() << " (and "
                 << missing.size() - 1 << " more); build the win32/win64 presets to check them";
  }
}

}  // namespace
