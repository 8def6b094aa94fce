// Replacing the resource section of a PE image.
#include "peimage/resource_section_update.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "peimage/little_endian.h"
#include "peimage/resource_writer.h"

namespace {

const char kResourceSectionName[] = ".rsrc";

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

void WriteSectionName(uint8_t* header, const char* name) {
  std::memset(header, 0, kSectionNameSize);
  std::memcpy(header, name, std::min(std::strlen(name), size_t{kSectionNameSize}));
}

// Where the new section goes and what it replaces.
struct Placement {
  int replaced;         // the resource section taken over, or -1: appended
  size_t firstMoved;    // the first section moved behind it (none: the count)
  uint32_t keptPrefix;  // bytes of the old file copied before the new section
  uint32_t virtualAddress;
  uint32_t rawOffset;
};

Placement PlaceSection(const PeImage& image) {
  Placement place{-1, image.sections.size(), image.sectionDataEnd, 0, 0};
  PeDataDirectory directory = DataDirectory(image, kResourceDirectory);
  int old = directory.rva != 0 ? FindSectionOfRva(image, directory.rva) : -1;
  if (old >= 0 && image.sections[old].virtualAddress == directory.rva &&
      SectionName(image.sections[old]) == kResourceSectionName) {
    place.replaced = old;
    place.firstMoved = static_cast<size_t>(old) + 1;
    uint64_t kept = image.sizeOfHeaders;
    for (int k = 0; k < old; ++k) {
      const PeSection& section = image.sections[k];
      if (section.rawSize > 0) {
        kept = std::max<uint64_t>(kept, uint64_t{section.rawOffset} + section.rawSize);
      }
    }
    place.keptPrefix = static_cast<uint32_t>(kept);
    place.virtualAddress = image.sections[old].virtualAddress;
  } else {
    const PeSection& last = image.sections.back();
    place.virtualAddress = static_cast<uint32_t>(std::min<uint64_t>(
        AlignUp(uint64_t{last.virtualAddress} + SectionSpan(last), image.sectionAlignment),
        UINT32_MAX));
  }
  place.rawOffset = static_cast<uint32_t>(
      std::min<uint64_t>(AlignUp(place.keptPrefix, image.fileAlignment), UINT32_MAX));
  return place;
}

uint64_t ImageBase(const PeImage& image) {
  const uint8_t* optional = image.bytes.data() + image.optionalHeaderOffset;
  if (image.magic == kPe32Magic) {
    return ReadLe32(optional + kOpt32ImageBase);
  }
  return ReadLe32(optional + kOpt64ImageBase) | uint64_t{ReadLe32(optional + kOpt64ImageBase + 4)}
                                                    << 32;
}

// The base relocations may move only when nothing they fix lies at or beyond
// limit and no address they fix points there: what is there is replaced or
// moved.
bool CheckRelocations(const PeImage& image, uint32_t limit, std::string* error) {
  PeDataDirectory relocations = DataDirectory(image, kBaseRelocationDirectory);
  if (relocations.rva == 0 || relocations.size == 0) {
    return true;
  }
  uint32_t offset = 0;
  if (!MapRvaToFileOffset(image, relocations.rva, relocations.size, &offset)) {
    return Fail(error, "the base relocations lie outside the raw data of their section");
  }
  const uint8_t* table = image.bytes.data() + offset;
  uint64_t base = ImageBase(image);
  uint32_t position = 0;
  while (uint64_t{position} + kRelocationBlockHeaderSize <= relocations.size) {
    uint32_t page = ReadLe32(table + position);
    uint32_t blockSize = ReadLe32(table + position + 4);
    if (blockSize < kRelocationBlockHeaderSize || blockSize % 2 != 0 ||
        uint64_t{position} + blockSize > relocations.size) {
      return Fail(error, "the base relocations are malformed (a block of " +
                             std::to_string(blockSize) + " bytes at " + Hex(position) + ")");
    }
    for (uint32_t k = kRelocationBlockHeaderSize; k < blockSize; k += 2) {
      uint16_t entry = ReadLe16(table + position + k);
      uint16_t type = entry >> 12;
      uint32_t width = type == kRelocationHighLow ? 4 : type == kRelocationDir64 ? 8 : 0;
      if (type == kRelocationAbsolute) {
        continue;
      }
      if (width == 0) {
        return Fail(error, "a base relocation of type " + std::to_string(type) +
                               ", which cannot be checked before the sections move");
      }
      uint64_t target = uint64_t{page} + (entry & 0xFFF);
      if (target + width > limit) {
        return Fail(error, "a base relocation at " + Hex(target) +
                               " lies in the resource section or after it");
      }
      uint32_t valueOffset = 0;
      if (!MapRvaToFileOffset(image, static_cast<uint32_t>(target), width, &valueOffset)) {
        continue;  // zero-filled memory: no address stored there yet
      }
      const uint8_t* field = image.bytes.data() + valueOffset;
      uint64_t value = ReadLe32(field);
      if (width == 8) {
        value |= uint64_t{ReadLe32(field + 4)} << 32;
      }
      uint64_t rva = value - base;
      if (value >= base && rva >= limit && rva < image.sizeOfImage) {
        return Fail(error, "the address at " + Hex(target) + " points to " + Hex(rva) +
                               ", in the resource section or after it");
      }
    }
    position += blockSize;
  }
  return true;
}

bool CheckReplacement(const PeImage& image, const Placement& place, std::string* error) {
  const PeSection& old = image.sections[place.replaced];
  for (size_t k = place.replaced; k < image.sections.size(); ++k) {
    const PeSection& section = image.sections[k];
    std::string name = "section \"" + SectionName(section) + "\"";
    if (section.rawSize > 0 && section.rawOffset < place.keptPrefix) {
      return Fail(error, "the raw data of " + name +
                             " lies before that of a section ahead of it in memory");
    }
    if (k > static_cast<size_t>(place.replaced) &&
        (section.characteristics & kSectionDiscardable) == 0) {
      return Fail(error, name +
                             " follows the resource section and cannot move behind the new one "
                             "(only discardable sections can: base relocations, debug data)");
    }
  }
  for (uint32_t k = 0; k < image.dataDirectories.size(); ++k) {
    PeDataDirectory directory = image.dataDirectories[k];
    bool handled =
        k == kResourceDirectory || k == kCertificateDirectory || k == kBaseRelocationDirectory;
    if (!handled && directory.rva != 0 && directory.rva >= old.virtualAddress) {
      return Fail(error, "data directory " + std::to_string(k) + " points to " +
                             Hex(directory.rva) + ", in the resource section or after it");
    }
  }
  return CheckRelocations(image, old.virtualAddress, error);
}

bool CheckRefusals(const PeImage& image, const Placement& place, std::string* error) {
  PeDataDirectory certificates = DataDirectory(image, kCertificateDirectory);
  if (certificates.rva != 0 || certificates.size != 0) {
    return Fail(error,
                "the image is signed (it has a certificate table); a changed image would no "
                "longer match its signature: use an unsigned stub and sign the result");
  }
  if (image.dataDirectories.size() <= kResourceDirectory) {
    return Fail(error, "the image has no data directory entry for resources");
  }
  PeDataDirectory resources = DataDirectory(image, kResourceDirectory);
  if (resources.rva != 0 && FindSectionOfRva(image, resources.rva) < 0) {
    return Fail(error, "the resource directory lies in no section");
  }
  if (place.replaced >= 0) {
    return CheckReplacement(image, place, error);
  }
  if (image.sections.size() >= kMaxSections) {
    return Fail(error, "the image has " + std::to_string(image.sections.size()) +
                           " sections already; no further section can be added");
  }
  uint64_t tableEnd = SectionHeaderOffset(image, static_cast<uint32_t>(image.sections.size()));
  if (tableEnd + kSectionHeaderSize > image.sizeOfHeaders) {
    return Fail(error, "the headers (SizeOfHeaders " + std::to_string(image.sizeOfHeaders) +
                           " bytes) have no room for another section header");
  }
  const uint8_t* room = image.bytes.data() + tableEnd;
  if (std::any_of(room, room + kSectionHeaderSize, [](uint8_t b) { return b != 0; })) {
    return Fail(error,
                "the space after the section table is in use; no section header can be added");
  }
  return true;
}

// Moves a file pointer that points into the overlay along with it.
void ShiftOverlayPointer(uint8_t* field, uint32_t overlayStart, int64_t shift) {
  uint32_t pointer = ReadLe32(field);
  if (pointer != 0 && pointer >= overlayStart) {
    WriteLe32(field, static_cast<uint32_t>(pointer + shift));
  }
}

void ShiftOverlayPointers(const PeImage& image, const Placement& place, uint32_t sectionCount,
                          int64_t shift, std::vector<uint8_t>* head) {
  uint8_t* bytes = head->data();
  uint32_t coff = image.peOffset + kPeSignatureSize;
  ShiftOverlayPointer(bytes + coff + kCoffPointerToSymbolTable, image.sectionDataEnd, shift);
  for (uint32_t k = 0; k < sectionCount; ++k) {
    uint8_t* header = bytes + SectionHeaderOffset(image, k);
    ShiftOverlayPointer(header + kSectionPointerToRelocations, image.sectionDataEnd, shift);
    ShiftOverlayPointer(header + kSectionPointerToLinenumbers, image.sectionDataEnd, shift);
  }
  // Debug directory entries locate their data by file offset as well; a
  // directory in the kept part of the file is followed.
  PeDataDirectory debug = DataDirectory(image, kDebugDirectory);
  uint32_t offset = 0;
  if (debug.rva != 0 && MapRvaToFileOffset(image, debug.rva, debug.size, &offset) &&
      uint64_t{offset} + debug.size <= place.keptPrefix) {
    for (uint32_t k = 0; k < debug.size / kDebugEntrySize; ++k) {
      ShiftOverlayPointer(bytes + offset + k * kDebugEntrySize + kDebugPointerToRawData,
                          image.sectionDataEnd, shift);
    }
  }
}

// A section moved behind the new resource section.
struct MovedSection {
  size_t index;
  uint64_t virtualAddress;
  uint64_t rawOffset;
};

}  // namespace

bool LayOutResourceImage(const PeImage& image, const PeResourceTree& tree,
                         const PeChecksumSum& streamedSum, PeImageParts* parts,
                         std::string* error) {
  parts->head.clear();
  parts->streamedSize = 0;
  parts->tail.clear();
  Placement place = PlaceSection(image);
  if (!CheckRefusals(image, place, error)) {
    return false;
  }
  PeResourceSectionParts section;
  if (!BuildResourceSectionParts(tree, place.virtualAddress, &section, error)) {
    return false;
  }
  if (section.streamedSize != streamedSum.length) {
    return Fail(error, "the sum of the streamed resource covers " +
                           std::to_string(streamedSum.length) + " bytes, not its " +
                           std::to_string(section.streamedSize));
  }
  uint64_t sectionSize = section.head.size() + uint64_t{section.streamedSize} + section.tail.size();
  uint64_t rawSize = AlignUp(sectionSize, image.fileAlignment);

  std::vector<MovedSection> moved;
  uint64_t nextVirtual = AlignUp(place.virtualAddress + sectionSize, image.sectionAlignment);
  uint64_t fileEnd = place.rawOffset + rawSize;
  for (size_t k = place.firstMoved; k < image.sections.size(); ++k) {
    const PeSection& old = image.sections[k];
    moved.push_back({k, nextVirtual, old.rawSize > 0 ? fileEnd : 0});
    fileEnd += AlignUp(old.rawSize, image.fileAlignment);
    nextVirtual = AlignUp(nextVirtual + SectionSpan(old), image.sectionAlignment);
  }
  uint64_t imageEnd = nextVirtual;
  uint64_t overlaySize = image.bytes.size() - image.sectionDataEnd;
  if (imageEnd > UINT32_MAX || fileEnd + overlaySize > UINT32_MAX) {
    return Fail(error, "the image would reach 4 GiB");
  }

  std::vector<uint8_t>& head = parts->head;
  head.assign(image.bytes.begin(), image.bytes.begin() + place.keptPrefix);
  head.resize(place.rawOffset, 0);
  uint8_t* bytes = head.data();
  uint32_t sectionCount = static_cast<uint32_t>(image.sections.size());
  uint8_t* header = nullptr;
  // SizeOfInitializedData sums the raw sizes of the initialized-data sections.
  int64_t initializedChange = 0;
  if (place.replaced >= 0) {
    const PeSection& old = image.sections[place.replaced];
    header = bytes + SectionHeaderOffset(image, place.replaced);
    bool counted = (old.characteristics & kSectionInitializedData) != 0;
    initializedChange = counted ? static_cast<int64_t>(rawSize) - old.rawSize : 0;
  } else {
    header = bytes + SectionHeaderOffset(image, sectionCount);
    ++sectionCount;
    WriteLe16(bytes + image.peOffset + kPeSignatureSize + kCoffNumberOfSections,
              static_cast<uint16_t>(sectionCount));
    std::memset(header, 0, kSectionHeaderSize);
    WriteSectionName(header, kResourceSectionName);
    WriteLe32(header + kSectionVirtualAddress, place.virtualAddress);
    WriteLe32(header + kSectionCharacteristics, kSectionInitializedData | kSectionMemoryRead);
    initializedChange = static_cast<int64_t>(rawSize);
  }
  WriteLe32(header + kSectionVirtualSize, static_cast<uint32_t>(sectionSize));
  WriteLe32(header + kSectionSizeOfRawData, static_cast<uint32_t>(rawSize));
  WriteLe32(header + kSectionPointerToRawData, place.rawOffset);

  uint8_t* optional = bytes + image.optionalHeaderOffset;
  PeDataDirectory relocations = DataDirectory(image, kBaseRelocationDirectory);
  for (const MovedSection& section : moved) {
    const PeSection& old = image.sections[section.index];
    uint8_t* movedHeader = bytes + SectionHeaderOffset(image, static_cast<uint32_t>(section.index));
    WriteLe32(movedHeader + kSectionVirtualAddress, static_cast<uint32_t>(section.virtualAddress));
    WriteLe32(movedHeader + kSectionPointerToRawData, static_cast<uint32_t>(section.rawOffset));
    if (relocations.rva >= old.virtualAddress &&
        relocations.rva - old.virtualAddress < SectionSpan(old)) {
      WriteLe32(
          bytes + DataDirectoryFieldOffset(image, kBaseRelocationDirectory),
          static_cast<uint32_t>(section.virtualAddress + (relocations.rva - old.virtualAddress)));
    }
  }
  int64_t initializedData = ReadLe32(optional + kOptSizeOfInitializedData) + initializedChange;
  initializedData = std::min<int64_t>(std::max<int64_t>(initializedData, 0), UINT32_MAX);
  WriteLe32(optional + kOptSizeOfInitializedData, static_cast<uint32_t>(initializedData));
  WriteLe32(optional + kOptSizeOfImage, static_cast<uint32_t>(imageEnd));
  uint8_t* directory = bytes + DataDirectoryFieldOffset(image, kResourceDirectory);
  WriteLe32(directory, place.virtualAddress);
  WriteLe32(directory + 4, static_cast<uint32_t>(sectionSize));
  ShiftOverlayPointers(image, place, sectionCount,
                       static_cast<int64_t>(fileEnd) - int64_t{image.sectionDataEnd}, &head);
  head.insert(head.end(), section.head.begin(), section.head.end());

  std::vector<uint8_t>& tail = parts->tail;
  tail = std::move(section.tail);
  tail.resize(tail.size() + (rawSize - sectionSize), 0);
  for (const MovedSection& section : moved) {
    const PeSection& old = image.sections[section.index];
    if (old.rawSize > 0) {
      tail.insert(tail.end(), image.bytes.begin() + old.rawOffset,
                  image.bytes.begin() + old.rawOffset + old.rawSize);
      tail.resize(tail.size() + (AlignUp(old.rawSize, image.fileAlignment) - old.rawSize), 0);
    }
  }
  tail.insert(tail.end(), image.bytes.begin() + image.sectionDataEnd, image.bytes.end());
  parts->streamedSize = section.streamedSize;

  uint32_t checkSumOffset = CheckSumFieldOffset(image);
  WriteLe32(head.data() + checkSumOffset, 0);
  PeChecksumSum sum{0, 0};
  AddToPeChecksum(&sum, head.data(), head.size());
  JoinPeChecksum(&sum, streamedSum);
  AddToPeChecksum(&sum, tail.data(), tail.size());
  WriteLe32(head.data() + checkSumOffset, FinishPeChecksum(sum));
  return true;
}

bool StoreResourceSection(const PeImage& image, const PeResourceTree& tree,
                          std::vector<uint8_t>* output, std::string* error) {
  output->clear();
  PeImageParts parts;
  if (!LayOutResourceImage(image, tree, PeChecksumSum{0, 0}, &parts, error)) {
    return false;
  }
  *output = std::move(parts.head);
  output->insert(output->end(), parts.tail.begin(), parts.tail.end());
  return true;
}
