// Resource trees: reading a hand-built tree, the layout and order of a written
// section, and replacing the payload resource.
#include "peimage/resource_tree.h"

#include <gtest/gtest.h>

#include "peimage/resource_reader.h"
#include "peimage/resource_section_update.h"
#include "tests/host/pe_test_image.h"

namespace {

PeResourceId IdOf(const std::u16string& name, uint16_t number) {
  return name.empty() ? NumberedResourceId(number) : PeResourceId{true, 0, name};
}

PeResource ResourceOf(const TestPeResource& r) {
  return PeResource{IdOf(r.typeName, r.typeNumber), IdOf(r.name, r.number), r.language, 0, r.data};
}

void ExpectSameResources(const std::vector<PeResource>& actual,
                         const std::vector<PeResource>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t k = 0; k < actual.size(); ++k) {
    std::string what =
        DescribeResourceId(expected[k].type) + "/" + DescribeResourceId(expected[k].name);
    EXPECT_TRUE(SameResourceId(actual[k].type, expected[k].type)) << what;
    EXPECT_TRUE(SameResourceId(actual[k].name, expected[k].name)) << what;
    EXPECT_EQ(actual[k].language, expected[k].language) << what;
    EXPECT_EQ(actual[k].codePage, expected[k].codePage) << what;
    EXPECT_TRUE(actual[k].data == expected[k].data) << what;
  }
}

bool ReadImage(const std::vector<uint8_t>& bytes, PeImage* image, PeResourceTree* tree) {
  std::string error;
  bool ok = ParsePeImage(bytes, image, &error) && ReadResourceTree(*image, tree, &error);
  EXPECT_TRUE(ok) << error;
  return ok;
}

PeResourceTree TreeOfTestImage(const std::vector<uint8_t>& bytes) {
  PeImage image;
  PeResourceTree tree;
  ReadImage(bytes, &image, &tree);
  return tree;
}

TEST(PeResourceTest, ReadsAHandBuiltTree) {
  std::vector<TestPeResource> resources = StubResources();
  resources.insert(resources.begin(), {u"PAYLOADS", 0, u"FIRST", 0, 7, {1, 2, 3}});
  resources.insert(resources.begin() + 1, {u"PAYLOADS", 0, u"", 4, 7, {}});
  resources.insert(resources.begin() + 4, RcDataResource(10, 0, {5}));
  resources.insert(resources.begin() + 5, RcDataResource(10, 0x409, {6, 6}));
  std::vector<PeResource> expected;
  for (const TestPeResource& r : resources) {
    expected.push_back(ResourceOf(r));
  }
  for (bool plus : {false, true}) {
    TestPeLayout layout;
    layout.pe32Plus = plus;
    layout.resources = resources;
    std::vector<uint8_t> file = BuildTestPe(layout);
    PeResourceTree tree = TreeOfTestImage(file);
    EXPECT_EQ(tree.timeDateStamp, 0x12345678u);
    ExpectSameResources(tree.resources, expected);

    // Read in place from the headers alone: data over two bytes stays in the
    // file, at the places listed, and is the same there.
    PeImage headers;
    std::string error;
    std::vector<uint8_t> head(file.begin(), file.begin() + 0x400);
    ASSERT_TRUE(ParsePeImageHeaders(head, file.size(), &headers, &error)) << error;
    PeFileRead read = [&file](uint32_t offset, uint32_t size, uint8_t* bytes) {
      if (uint64_t{offset} + size > file.size()) {
        return false;
      }
      std::copy(file.begin() + offset, file.begin() + offset + size, bytes);
      return true;
    };
    PeResourceTree inFile;
    std::vector<PeResourcePlace> places;
    ASSERT_TRUE(ReadResourceTreeInFile(headers, read, 2, &inFile, &places, &error)) << error;
    ASSERT_EQ(places.size(), expected.size());
    for (const PeResourcePlace& place : places) {
      PeResource& resource = inFile.resources[place.index];
      EXPECT_EQ(resource.data.empty(), place.size > 2 || place.size == 0);
      resource.data.assign(file.begin() + place.fileOffset,
                           file.begin() + place.fileOffset + place.size);
    }
    ExpectSameResources(inFile.resources, expected);
    // A head that ends before the headers do is refused, not read past.
    head.resize(0x100);
    EXPECT_FALSE(ParsePeImageHeaders(head, file.size(), &headers, &error));
  }
  TestPeLayout bare;
  bare.withResources = false;
  EXPECT_TRUE(TreeOfTestImage(BuildTestPe(bare)).resources.empty());
}

TEST(PeResourceTest, OrdersNamesCaseInsensitivelyBeforeNumbers) {
  auto name = [](const char* text) { return NamedResourceId(text); };
  EXPECT_TRUE(ResourceIdLess(name("abc"), name("ABD")));
  EXPECT_TRUE(ResourceIdLess(name("ABC"), name("abd")));
  EXPECT_TRUE(ResourceIdLess(name("AB"), name("abc")));
  EXPECT_TRUE(ResourceIdLess(name("z"), name("_")));  // compared as "Z"
  EXPECT_NE(ResourceIdLess(name("ab"), name("AB")), ResourceIdLess(name("AB"), name("ab")));
  EXPECT_TRUE(ResourceIdLess(name("zzz"), NumberedResourceId(1)));
  EXPECT_TRUE(ResourceIdLess(NumberedResourceId(3), NumberedResourceId(14)));
  EXPECT_FALSE(ResourceIdLess(NumberedResourceId(14), NumberedResourceId(14)));
}

// The directory at offset in section: its named entries in directory order
// before the numbered ones in ascending order; returns the entries' targets.
std::vector<uint32_t> CheckDirectory(const std::vector<uint8_t>& section, size_t offset) {
  uint16_t named = Le16(section, offset + 12);
  uint16_t count = static_cast<uint16_t>(named + Le16(section, offset + 14));
  std::vector<uint32_t> targets;
  PeResourceId previous{};
  for (size_t k = 0; k < count; ++k) {
    uint32_t field = Le32(section, offset + 16 + 8 * k);
    PeResourceId id = NumberedResourceId(static_cast<uint16_t>(field));
    if (field & 0x80000000) {
      size_t at = field & 0x7FFFFFFF;
      id = PeResourceId{true, 0, {}};
      for (size_t c = 0; c < Le16(section, at); ++c) {
        id.name.push_back(Le16(section, at + 2 + 2 * c));
      }
    }
    EXPECT_EQ(id.named, k < named);
    EXPECT_TRUE(k == 0 || ResourceIdLess(previous, id)) << DescribeResourceId(id);
    previous = id;
    targets.push_back(Le32(section, offset + 16 + 8 * k + 4));
  }
  return targets;
}

TEST(PeResourceTest, WrittenSectionReadsBackInDirectoryOrder) {
  PeResourceTree tree{};
  tree.timeDateStamp = 77;
  auto add = [&](PeResourceId type, PeResourceId name, uint16_t language, size_t size) {
    std::vector<uint8_t> data(size, static_cast<uint8_t>(tree.resources.size() + 1));
    tree.resources.push_back(PeResource{type, name, language, 1252, data});
  };
  add(NumberedResourceId(10), NumberedResourceId(10), 0x409, 5);
  add(NamedResourceId("zeta"), NamedResourceId("b"), 0, 0);
  add(NumberedResourceId(3), NumberedResourceId(2), 0, 3);
  add(NamedResourceId("Alpha"), NumberedResourceId(7), 0, 9);
  add(NamedResourceId("zeta"), NamedResourceId("A"), 0, 1);
  add(NumberedResourceId(10), NumberedResourceId(10), 0, 17);
  add(NamedResourceId("Alpha"), NamedResourceId("zeta"), 2, 2);
  add(NumberedResourceId(3), NumberedResourceId(1), 0, 4);

  TestPeLayout layout;
  layout.withResources = false;
  PeImage image;
  PeResourceTree empty;
  ASSERT_TRUE(ReadImage(BuildTestPe(layout), &image, &empty));
  std::vector<uint8_t> output;
  std::string error;
  ASSERT_TRUE(StoreResourceSection(image, tree, &output, &error)) << error;
  PeImage result;
  PeResourceTree readBack;
  ASSERT_TRUE(ReadImage(output, &result, &readBack));
  EXPECT_EQ(readBack.timeDateStamp, 77u);
  PeResourceTree sorted = tree;
  SortResources(&sorted);
  ExpectSameResources(readBack.resources, sorted.resources);

  const PeSection& section = result.sections.back();
  std::vector<uint8_t> bytes(output.begin() + section.rawOffset,
                             output.begin() + section.rawOffset + section.virtualSize);
  std::vector<uint32_t> dataEntries;
  for (uint32_t type : CheckDirectory(bytes, 0)) {
    for (uint32_t name : CheckDirectory(bytes, type & 0x7FFFFFFF)) {
      for (uint32_t entry : CheckDirectory(bytes, name & 0x7FFFFFFF)) {
        dataEntries.push_back(entry);
      }
    }
  }
  ASSERT_EQ(dataEntries.size(), tree.resources.size());
  for (size_t k = 0; k < dataEntries.size(); ++k) {
    // Data entries in a row after every directory and name, data in tree order.
    EXPECT_EQ(dataEntries[k], dataEntries[0] + 16 * k);
    uint32_t rva = Le32(bytes, dataEntries[k]);
    EXPECT_EQ(rva % 8, 0u);
    EXPECT_GE(rva, section.virtualAddress + dataEntries.back() + 16);
    EXPECT_EQ(Le32(bytes, dataEntries[k] + 8), 1252u);
  }
}

TEST(PeResourceTest, SetResourceReplacesInsteadOfAdding) {
  PeResourceTree tree{};
  for (const TestPeResource& r : StubResources()) {
    tree.resources.push_back(ResourceOf(r));
  }
  const PeResourceTree stub = tree;
  PeResourceId rcData = NumberedResourceId(kResourceTypeRcData);
  PeResourceId ten = NumberedResourceId(10);
  EXPECT_EQ(ChooseResourceLanguage(tree), 0x409);
  std::string error;
  ASSERT_TRUE(SetResource(&tree, rcData, ten, 0x407, {1, 2}, &error));
  ASSERT_EQ(tree.resources.size(), stub.resources.size() + 1);
  EXPECT_EQ(tree.resources.back().language, 0x407);

  // Two more languages of the payload: one keeps the new data, the rest goes.
  tree.resources.push_back(PeResource{rcData, ten, 0x405, 0, {3}});
  tree.resources.push_back(PeResource{rcData, NumberedResourceId(11), 0x405, 0, {4}});
  ASSERT_TRUE(SetResource(&tree, rcData, ten, 0, {5, 6, 7}, &error));
  std::vector<PeResource> expected = stub.resources;
  expected.push_back(PeResource{rcData, ten, 0x405, 0, {5, 6, 7}});
  expected.push_back(PeResource{rcData, NumberedResourceId(11), 0x405, 0, {4}});
  SortResources(&tree);
  PeResourceTree sorted{};
  sorted.resources = expected;
  SortResources(&sorted);
  ExpectSameResources(tree.resources, sorted.resources);

  EXPECT_TRUE(CheckResourceSize(kResourceSizeLimit - 1, &error));
  EXPECT_FALSE(CheckResourceSize(kResourceSizeLimit, &error));
  EXPECT_NE(error.find("2 GiB"), std::string::npos);
}

TEST(PeResourceTest, WriterRefusesATwiceGivenResource) {
  TestPeLayout layout;
  layout.resources = StubResources();
  PeImage image;
  PeResourceTree tree;
  ASSERT_TRUE(ReadImage(BuildTestPe(layout), &image, &tree));
  tree.resources.push_back(tree.resources[2]);
  std::vector<uint8_t> output;
  std::string error;
  EXPECT_FALSE(StoreResourceSection(image, tree, &output, &error));
  EXPECT_NE(error.find("\"OSTREL\" language 1033 appears twice"), std::string::npos) << error;
  EXPECT_TRUE(output.empty());
}

}  // namespace
