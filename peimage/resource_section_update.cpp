// Replacing the resource section of a PE image.
#include "peimage/resource_section_update.h"

#include <algorithm>
#include <cstring>

#include "peimage/little_endian.h"
#include "peimage/pe_checksum.h"
#include "peimage/resource_writer.h"

namespace {

const char kResourceSectionName[] = ".rsrc";
const char kObsoleteSectionName[] = ".oldrsrc";

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

bool HasName(const PeSection& section, const char* name) {
  return SectionName(section) == name;
}

void WriteSectionName(uint8_t* header, const char* name) {
  std::memset(header, 0, kSectionNameSize);
  std::memcpy(header, name, std::min(std::strlen(name), size_t{kSectionNameSize}));
}

// Where the new section goes and what it replaces.
struct Placement {
  int oldSection;     // the section the resource directory starts, or -1
  bool oldDedicated;  // it is a ".rsrc" section that starts with the directory
  bool inPlace;       // it is rewritten where it is
  uint32_t virtualAddress;
  uint32_t rawOffset;
  uint32_t keptPrefix;  // bytes of the old file copied before the section
};

Placement PlaceSection(const PeImage& image) {
  Placement place{};
  PeDataDirectory directory = DataDirectory(image, kResourceDirectory);
  place.oldSection = directory.rva != 0 ? FindSectionOfRva(image, directory.rva) : -1;
  const PeSection& last = image.sections.back();
  if (place.oldSection >= 0) {
    const PeSection& old = image.sections[place.oldSection];
    place.oldDedicated = old.virtualAddress == directory.rva && HasName(old, kResourceSectionName);
    place.inPlace = place.oldDedicated && &old == &last && old.rawSize > 0 &&
                    old.rawOffset % image.fileAlignment == 0 &&
                    old.rawOffset + old.rawSize == image.sectionDataEnd;
  }
  if (place.inPlace) {
    place.virtualAddress = last.virtualAddress;
    place.rawOffset = last.rawOffset;
    place.keptPrefix = last.rawOffset;
  } else {
    place.virtualAddress = static_cast<uint32_t>(std::min<uint64_t>(
        AlignUp(uint64_t{last.virtualAddress} + SectionSpan(last), image.sectionAlignment),
        UINT32_MAX));
    place.rawOffset = static_cast<uint32_t>(
        std::min<uint64_t>(AlignUp(image.sectionDataEnd, image.fileAlignment), UINT32_MAX));
    place.keptPrefix = image.sectionDataEnd;
  }
  return place;
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
  if (resources.rva != 0 && place.oldSection < 0) {
    return Fail(error, "the resource directory lies in no section");
  }
  if (place.inPlace) {
    return true;
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

// The raw size of the emptied resource section: some linkers leave it short
// of the file alignment; it is rounded up when the padding up to the next
// section's data (or the new section's) is free.
uint32_t ObsoleteRawSize(const PeImage& image, const Placement& place) {
  const PeSection& old = image.sections[place.oldSection];
  uint64_t limit = place.rawOffset;
  for (const PeSection& section : image.sections) {
    if (section.rawSize > 0 && section.rawOffset > old.rawOffset) {
      limit = std::min<uint64_t>(limit, section.rawOffset);
    }
  }
  uint64_t aligned = AlignUp(old.rawSize, image.fileAlignment);
  bool fits = old.rawOffset % image.fileAlignment == 0 && old.rawOffset + aligned <= limit;
  return fits ? static_cast<uint32_t>(aligned) : old.rawSize;
}

// Moves a file pointer that points into the overlay along with it.
void ShiftOverlayPointer(uint8_t* field, uint32_t overlayStart, int64_t shift) {
  uint32_t pointer = ReadLe32(field);
  if (pointer != 0 && pointer >= overlayStart) {
    WriteLe32(field, static_cast<uint32_t>(pointer + shift));
  }
}

void ShiftOverlayPointers(const PeImage& image, const Placement& place, uint32_t sectionCount,
                          int64_t shift, std::vector<uint8_t>* output) {
  uint8_t* bytes = output->data();
  uint32_t coff = image.peOffset + kPeSignatureSize;
  ShiftOverlayPointer(bytes + coff + kCoffPointerToSymbolTable, image.sectionDataEnd, shift);
  for (uint32_t k = 0; k < sectionCount; ++k) {
    uint8_t* header = bytes + SectionHeaderOffset(image, k);
    ShiftOverlayPointer(header + kSectionPointerToRelocations, image.sectionDataEnd, shift);
    ShiftOverlayPointer(header + kSectionPointerToLinenumbers, image.sectionDataEnd, shift);
  }
  // Debug directory entries locate their data by file offset as well. The
  // directory itself lies in a section before the rewritten part.
  PeDataDirectory debug = DataDirectory(image, kDebugDirectory);
  uint32_t offset = 0;
  if (debug.rva != 0 && MapRvaToFileOffset(image, debug.rva, debug.size, &offset) &&
      uint64_t{offset} + debug.size <= place.keptPrefix) {
    bool oldZeroed = place.oldDedicated && !place.inPlace;
    const PeSection* old = place.oldSection >= 0 ? &image.sections[place.oldSection] : nullptr;
    bool inOld = oldZeroed && offset + debug.size > old->rawOffset &&
                 offset < uint64_t{old->rawOffset} + old->rawSize;
    for (uint32_t k = 0; !inOld && k < debug.size / kDebugEntrySize; ++k) {
      ShiftOverlayPointer(bytes + offset + k * kDebugEntrySize + kDebugPointerToRawData,
                          image.sectionDataEnd, shift);
    }
  }
}

}  // namespace

bool StoreResourceSection(const PeImage& image, const PeResourceTree& tree,
                          std::vector<uint8_t>* output, std::string* error) {
  output->clear();
  Placement place = PlaceSection(image);
  if (!CheckRefusals(image, place, error)) {
    return false;
  }
  std::vector<uint8_t> section;
  if (!BuildResourceSection(tree, place.virtualAddress, &section, error)) {
    return false;
  }
  uint64_t rawSize = AlignUp(section.size(), image.fileAlignment);
  uint64_t imageEnd =
      AlignUp(uint64_t{place.virtualAddress} + section.size(), image.sectionAlignment);
  uint64_t overlaySize = image.bytes.size() - image.sectionDataEnd;
  uint64_t fileSize = uint64_t{place.rawOffset} + rawSize + overlaySize;
  if (imageEnd > UINT32_MAX || fileSize > UINT32_MAX) {
    return Fail(error, "the image would reach 4 GiB");
  }

  std::vector<uint8_t>& out = *output;
  out.reserve(fileSize);
  out.assign(image.bytes.begin(), image.bytes.begin() + place.keptPrefix);
  out.resize(place.rawOffset, 0);
  out.insert(out.end(), section.begin(), section.end());
  out.resize(place.rawOffset + rawSize, 0);
  out.insert(out.end(), image.bytes.begin() + image.sectionDataEnd, image.bytes.end());

  uint8_t* bytes = out.data();
  uint32_t sectionCount = static_cast<uint32_t>(image.sections.size());
  uint8_t* header = nullptr;
  // SizeOfInitializedData sums the raw sizes of the initialized-data sections.
  int64_t initializedChange = 0;
  auto counted = [](const PeSection& s) {
    return (s.characteristics & kSectionInitializedData) != 0;
  };
  if (place.inPlace) {
    const PeSection& old = image.sections[place.oldSection];
    header = bytes + SectionHeaderOffset(image, place.oldSection);
    initializedChange = counted(old) ? static_cast<int64_t>(rawSize) - old.rawSize : 0;
  } else {
    if (place.oldDedicated) {
      const PeSection& old = image.sections[place.oldSection];
      uint8_t* oldHeader = bytes + SectionHeaderOffset(image, place.oldSection);
      uint32_t obsoleteRawSize = ObsoleteRawSize(image, place);
      std::fill(bytes + old.rawOffset, bytes + old.rawOffset + old.rawSize, 0);
      WriteSectionName(oldHeader, kObsoleteSectionName);
      WriteLe32(oldHeader + kSectionSizeOfRawData, obsoleteRawSize);
      initializedChange = counted(old) ? int64_t{obsoleteRawSize} - old.rawSize : 0;
    }
    header = bytes + SectionHeaderOffset(image, sectionCount);
    ++sectionCount;
    WriteLe16(bytes + image.peOffset + kPeSignatureSize + kCoffNumberOfSections,
              static_cast<uint16_t>(sectionCount));
    std::memset(header, 0, kSectionHeaderSize);
    WriteSectionName(header, kResourceSectionName);
    WriteLe32(header + kSectionVirtualAddress, place.virtualAddress);
    WriteLe32(header + kSectionPointerToRawData, place.rawOffset);
    WriteLe32(header + kSectionCharacteristics, kSectionInitializedData | kSectionMemoryRead);
    initializedChange += static_cast<int64_t>(rawSize);
  }
  WriteLe32(header + kSectionVirtualSize, static_cast<uint32_t>(section.size()));
  WriteLe32(header + kSectionSizeOfRawData, static_cast<uint32_t>(rawSize));
  int64_t initializedData =
      ReadLe32(bytes + image.optionalHeaderOffset + kOptSizeOfInitializedData) + initializedChange;
  initializedData = std::min<int64_t>(std::max<int64_t>(initializedData, 0), UINT32_MAX);

  uint8_t* optional = bytes + image.optionalHeaderOffset;
  WriteLe32(optional + kOptSizeOfInitializedData, static_cast<uint32_t>(initializedData));
  WriteLe32(optional + kOptSizeOfImage, static_cast<uint32_t>(imageEnd));
  uint8_t* directory = bytes + DataDirectoryFieldOffset(image, kResourceDirectory);
  WriteLe32(directory, place.virtualAddress);
  WriteLe32(directory + 4, static_cast<uint32_t>(section.size()));
  ShiftOverlayPointers(image, place, sectionCount,
                       int64_t{place.rawOffset} + int64_t(rawSize) - image.sectionDataEnd, output);

  uint32_t checkSumOffset = CheckSumFieldOffset(image);
  WriteLe32(bytes + checkSumOffset, ComputePeChecksum(bytes, out.size(), checkSumOffset));
  return true;
}
