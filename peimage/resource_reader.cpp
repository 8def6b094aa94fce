// Reading the resource directory tree.
#include "peimage/resource_reader.h"

#include <algorithm>
#include <functional>
#include <set>
#include <utility>

#include "peimage/little_endian.h"

namespace {

const uint32_t kDirectoryHeaderSize = 16;
const uint32_t kDirectoryEntrySize = 8;
const uint32_t kDataEntrySize = 16;
const uint32_t kHighBit = 0x80000000u;
const int kLanguageLevel = 2;

struct TreeReader {
  const PeImage* image;
  const uint8_t* base;  // the resource directory in the file
  uint32_t limit;       // bytes of the section's raw data from base on
  // Bytes at base that are at hand: all of limit for an image held whole, a
  // head of it for one read piece by piece (needMore then tells that the
  // walk went past them and may try again with more).
  uint32_t loaded;
  bool needMore;
  // Set for an image read piece by piece: lists every resource's place and
  // reads the data of those up to largestRead bytes.
  const PeFileRead* readAt;
  uint32_t largestRead;
  std::vector<PeResourcePlace>* places;
  std::set<uint32_t> visitedDirectories;
  std::vector<std::pair<uint32_t, uint32_t>> dataRanges;  // file offset, size
  PeResourceTree* tree;
  std::string* error;
};

bool Fail(TreeReader* reader, const std::string& text) {
  *reader->error = "resource directory: " + text;
  return false;
}

bool Inside(TreeReader& reader, uint32_t offset, uint64_t size) {
  if (offset > reader.limit || size > reader.limit - offset) {
    return false;
  }
  if (offset + size > reader.loaded) {
    reader.needMore = true;
    return false;
  }
  return true;
}

bool ReadName(TreeReader* reader, uint32_t offset, std::u16string* name) {
  if (!Inside(*reader, offset, 2)) {
    return Fail(reader, "a name lies outside the resource section");
  }
  uint32_t length = ReadLe16(reader->base + offset);
  if (!Inside(*reader, offset + 2, uint64_t{length} * 2)) {
    return Fail(reader, "a name runs past the end of the resource section");
  }
  name->resize(length);
  for (uint32_t k = 0; k < length; ++k) {
    (*name)[k] = static_cast<char16_t>(ReadLe16(reader->base + offset + 2 + 2 * k));
  }
  return true;
}

bool ReadId(TreeReader* reader, uint32_t field, PeResourceId* id) {
  id->named = (field & kHighBit) != 0;
  id->number = 0;
  id->name.clear();
  if (id->named) {
    return ReadName(reader, field & ~kHighBit, &id->name);
  }
  if (field > 0xFFFF) {
    return Fail(reader, "an entry's number " + std::to_string(field) + " exceeds 16 bits");
  }
  id->number = static_cast<uint16_t>(field);
  return true;
}

bool ReadDataEntry(TreeReader* reader, uint32_t offset, PeResource* resource) {
  std::string what = "resource " + DescribeResourceId(resource->type) + "/" +
                     DescribeResourceId(resource->name) + " language " +
                     std::to_string(resource->language);
  if (!Inside(*reader, offset, kDataEntrySize)) {
    return Fail(reader, what + ": its data entry lies outside the resource section");
  }
  const uint8_t* entry = reader->base + offset;
  uint32_t rva = ReadLe32(entry);
  uint32_t size = ReadLe32(entry + 4);
  resource->codePage = ReadLe32(entry + 8);
  uint32_t fileOffset = 0;
  if (!MapRvaToFileOffset(*reader->image, rva, size, &fileOffset)) {
    return Fail(reader, what + ": its data (" + std::to_string(size) +
                            " bytes) lies outside the sections' data");
  }
  if (size > 0) {
    reader->dataRanges.push_back({fileOffset, size});
  }
  if (reader->readAt == nullptr) {
    const uint8_t* data = reader->image->bytes.data() + fileOffset;
    resource->data.assign(data, data + size);
    return true;
  }
  reader->places->push_back({reader->tree->resources.size(), fileOffset, size});
  if (size > 0 && size <= reader->largestRead) {
    resource->data.resize(size);
    if (!(*reader->readAt)(fileOffset, size, resource->data.data())) {
      return Fail(reader, what + ": its data cannot be read");
    }
  }
  return true;
}

// Reads the directory at offset, on level 0 (types), 1 (names) or 2
// (languages); partial holds the type and name of the levels above.
bool ReadDirectory(TreeReader* reader, uint32_t offset, int level, const PeResource& partial) {
  if (!reader->visitedDirectories.insert(offset).second) {
    return Fail(reader, "a directory is reached twice (a loop or a shared subtree)");
  }
  if (!Inside(*reader, offset, kDirectoryHeaderSize)) {
    return Fail(reader, "a directory lies outside the resource section");
  }
  const uint8_t* header = reader->base + offset;
  uint32_t count = uint32_t{ReadLe16(header + 12)} + ReadLe16(header + 14);
  uint32_t entries = offset + kDirectoryHeaderSize;
  if (!Inside(*reader, entries, uint64_t{count} * kDirectoryEntrySize)) {
    return Fail(reader, "a directory's " + std::to_string(count) +
                            " entries run past the end of the resource section");
  }
  if (level == 0) {
    reader->tree->characteristics = ReadLe32(header);
    reader->tree->timeDateStamp = ReadLe32(header + 4);
    reader->tree->majorVersion = ReadLe16(header + 8);
    reader->tree->minorVersion = ReadLe16(header + 10);
  }
  for (uint32_t k = 0; k < count; ++k) {
    const uint8_t* entry = reader->base + entries + k * kDirectoryEntrySize;
    uint32_t idField = ReadLe32(entry);
    uint32_t target = ReadLe32(entry + 4);
    bool isDirectory = (target & kHighBit) != 0;
    PeResource resource;
    resource.type = partial.type;
    resource.name = partial.name;
    resource.language = 0;
    resource.codePage = 0;
    if (level == kLanguageLevel) {
      if ((idField & kHighBit) != 0 || idField > 0xFFFF) {
        return Fail(reader, "a language is not a 16-bit number");
      }
      if (isDirectory) {
        return Fail(reader, "the tree is deeper than type, name and language");
      }
      resource.language = static_cast<uint16_t>(idField);
      if (!ReadDataEntry(reader, target, &resource)) {
        return false;
      }
      reader->tree->resources.push_back(std::move(resource));
      continue;
    }
    if (!isDirectory) {
      return Fail(reader, "a data entry stands where a directory of names or languages belongs");
    }
    if (!ReadId(reader, idField, level == 0 ? &resource.type : &resource.name) ||
        !ReadDirectory(reader, target & ~kHighBit, level + 1, resource)) {
      return false;
    }
  }
  return true;
}

bool CheckUnique(TreeReader* reader) {
  std::vector<const PeResource*> sorted;
  for (const PeResource& resource : reader->tree->resources) {
    sorted.push_back(&resource);
  }
  auto less = [](const PeResource* a, const PeResource* b) { return ResourceLess(*a, *b); };
  std::sort(sorted.begin(), sorted.end(), less);
  for (size_t k = 1; k < sorted.size(); ++k) {
    if (!less(sorted[k - 1], sorted[k])) {
      return Fail(reader, "resource " + DescribeResourceId(sorted[k]->type) + "/" +
                              DescribeResourceId(sorted[k]->name) + " language " +
                              std::to_string(sorted[k]->language) + " appears twice");
    }
  }
  std::vector<std::pair<uint32_t, uint32_t>>& ranges = reader->dataRanges;
  std::sort(ranges.begin(), ranges.end());
  for (size_t k = 1; k < ranges.size(); ++k) {
    if (uint64_t{ranges[k - 1].first} + ranges[k - 1].second > ranges[k].first) {
      return Fail(reader, "the data of two resources overlap");
    }
  }
  return true;
}

// The resource directory's place: its section and its offset in the section's
// raw data; false with the reason in error. A zero limit: no directory.
bool FindDirectory(const PeImage& image, uint32_t* fileOffset, uint32_t* limit,
                   std::string* error) {
  *limit = 0;
  PeDataDirectory directory = DataDirectory(image, kResourceDirectory);
  if (directory.rva == 0) {
    return true;
  }
  int index = FindSectionOfRva(image, directory.rva);
  if (index < 0) {
    *error = "resource directory: its address lies in no section";
    return false;
  }
  const PeSection& section = image.sections[index];
  uint32_t start = directory.rva - section.virtualAddress;
  uint32_t sectionLimit = std::min(section.rawSize, SectionSpan(section));
  if (start >= sectionLimit) {
    *error = "resource directory: its address lies outside the section's data";
    return false;
  }
  *fileOffset = section.rawOffset + start;
  *limit = sectionLimit - start;
  return true;
}

}  // namespace

bool ReadResourceTree(const PeImage& image, PeResourceTree* tree, std::string* error) {
  *tree = PeResourceTree{};
  uint32_t offset = 0;
  uint32_t limit = 0;
  if (!FindDirectory(image, &offset, &limit, error)) {
    return false;
  }
  if (limit == 0) {
    return true;
  }
  TreeReader reader{};
  reader.image = &image;
  reader.base = image.bytes.data() + offset;
  reader.limit = limit;
  reader.loaded = limit;
  reader.tree = tree;
  reader.error = error;
  PeResource root{};
  if (!ReadDirectory(&reader, 0, 0, root) || !CheckUnique(&reader)) {
    *tree = PeResourceTree{};
    return false;
  }
  return true;
}

bool ReadResourceTreeInFile(const PeImage& headers, const PeFileRead& readAt, uint32_t largestRead,
                            PeResourceTree* tree, std::vector<PeResourcePlace>* places,
                            std::string* error) {
  *tree = PeResourceTree{};
  places->clear();
  uint32_t offset = 0;
  uint32_t limit = 0;
  if (!FindDirectory(headers, &offset, &limit, error)) {
    return false;
  }
  // Resource compilers put the directories, names and data entries before the
  // data: a head of the section holds them. The head grows while the walk
  // needs more, up to a bound that no real directory comes near.
  const uint32_t kFirstHead = 64 * 1024;
  const uint32_t kLargestHead = 16 * 1024 * 1024;
  std::vector<uint8_t> head;
  for (uint32_t want = std::min(limit, kFirstHead); limit > 0;
       want = std::min({limit, kLargestHead, want * 4})) {
    head.resize(want);
    if (!readAt(offset, want, head.data())) {
      *error = "resource directory: cannot be read";
      return false;
    }
    TreeReader reader{};
    reader.image = &headers;
    reader.base = head.data();
    reader.limit = limit;
    reader.loaded = want;
    reader.readAt = &readAt;
    reader.largestRead = largestRead;
    reader.places = places;
    reader.tree = tree;
    reader.error = error;
    PeResource root{};
    if (ReadDirectory(&reader, 0, 0, root) && CheckUnique(&reader)) {
      return true;
    }
    *tree = PeResourceTree{};
    places->clear();
    if (!reader.needMore) {
      return false;
    }
    if (want == limit || want == kLargestHead) {
      *error = "resource directory: its entries spread over more than " +
               std::to_string(kLargestHead >> 20) + " MiB of the section";
      return false;
    }
  }
  return true;
}
