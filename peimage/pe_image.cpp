// Reading and checking the headers and section table of a PE image.
#include "peimage/pe_image.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "peimage/little_endian.h"

namespace {

bool Fail(std::string* error, const std::string& text) {
  *error = text;
  return false;
}

std::string Hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

bool IsPowerOfTwo(uint32_t value) {
  return value != 0 && (value & (value - 1)) == 0;
}

// The alignments the loader accepts: powers of two, the file alignment at most
// 64 KiB and at least 512 bytes unless it equals a section alignment below the
// page size (a low-alignment image).
bool CheckAlignments(const PeImage& image, std::string* error) {
  uint32_t file = image.fileAlignment;
  uint32_t section = image.sectionAlignment;
  if (!IsPowerOfTwo(file) || file > 0x10000 || (file < 512 && file != section)) {
    return Fail(error,
                "the file alignment " + Hex(file) + " is not a power of two from 512 to 64 KiB");
  }
  if (!IsPowerOfTwo(section) || section < file) {
    return Fail(error, "the section alignment " + Hex(section) +
                           " is not a power of two at least as large as the file alignment");
  }
  return true;
}

void ReadSectionHeader(const uint8_t* header, PeSection* section) {
  std::copy(header, header + kSectionNameSize, section->name);
  section->virtualSize = ReadLe32(header + kSectionVirtualSize);
  section->virtualAddress = ReadLe32(header + kSectionVirtualAddress);
  section->rawSize = ReadLe32(header + kSectionSizeOfRawData);
  section->rawOffset = ReadLe32(header + kSectionPointerToRawData);
  section->characteristics = ReadLe32(header + kSectionCharacteristics);
}

// Every section inside the file and the image, virtual ranges ascending,
// raw data apart from the headers and from each other.
bool CheckSections(PeImage* image, uint64_t fileLength, std::string* error) {
  uint64_t previousEnd = image->sizeOfHeaders;
  uint64_t dataEnd = image->sizeOfHeaders;
  std::vector<const PeSection*> withData;
  for (const PeSection& section : image->sections) {
    std::string name = "section \"" + SectionName(section) + "\"";
    uint64_t start = section.virtualAddress;
    if (start % image->sectionAlignment != 0) {
      return Fail(error, name + ": virtual address " + Hex(start) +
                             " is not a multiple of the section alignment " +
                             Hex(image->sectionAlignment));
    }
    if (start < previousEnd) {
      return Fail(error, name + ": virtual address " + Hex(start) +
                             " lies inside the headers or the section before it");
    }
    previousEnd = start + SectionSpan(section);
    if (previousEnd > image->sizeOfImage) {
      return Fail(error, name + " ends at " + Hex(previousEnd) + ", beyond SizeOfImage " +
                             Hex(image->sizeOfImage));
    }
    if (section.rawSize == 0) {
      continue;
    }
    uint64_t rawEnd = uint64_t{section.rawOffset} + section.rawSize;
    if (section.rawOffset < image->sizeOfHeaders) {
      return Fail(error,
                  name + ": raw data at " + Hex(section.rawOffset) + " overlaps the headers");
    }
    if (rawEnd > fileLength) {
      return Fail(error, name + ": raw data (" + Hex(section.rawSize) + " bytes at " +
                             Hex(section.rawOffset) + ") runs past the end of the file (" +
                             Hex(fileLength) + " bytes)");
    }
    dataEnd = std::max(dataEnd, rawEnd);
    withData.push_back(&section);
  }
  std::sort(withData.begin(), withData.end(),
            [](const PeSection* a, const PeSection* b) { return a->rawOffset < b->rawOffset; });
  for (size_t k = 1; k < withData.size(); ++k) {
    if (uint64_t{withData[k - 1]->rawOffset} + withData[k - 1]->rawSize > withData[k]->rawOffset) {
      return Fail(error, "the raw data of sections \"" + SectionName(*withData[k - 1]) +
                             "\" and \"" + SectionName(*withData[k]) + "\" overlap");
    }
  }
  image->sectionDataEnd = static_cast<uint32_t>(dataEnd);
  return true;
}

// The headers are read from bytes, which hold the file or its head; the
// sections' raw data is checked against fileLength.
bool ParseImage(std::vector<uint8_t> bytes, uint64_t fileLength, PeImage* image,
                std::string* error) {
  *image = PeImage{};
  image->bytes = std::move(bytes);
  const uint8_t* file = image->bytes.data();
  uint64_t length = image->bytes.size();
  if (length < kDosHeaderSize || ReadLe16(file) != kDosSignature) {
    return Fail(error, "not a PE executable: no DOS header");
  }
  if (fileLength > UINT32_MAX) {
    return Fail(error, "the file is 4 GiB or larger; PE file offsets are 32-bit");
  }
  image->peOffset = ReadLe32(file + kDosPeOffsetField);
  uint64_t coff = uint64_t{image->peOffset} + kPeSignatureSize;
  if (coff + kCoffHeaderSize > length) {
    return Fail(error, "not a PE executable: the PE header offset " + Hex(image->peOffset) +
                           " lies outside the file");
  }
  if (ReadLe32(file + image->peOffset) != kPeSignature) {
    return Fail(error, "not a PE executable: no PE signature at " + Hex(image->peOffset));
  }
  image->machine = ReadLe16(file + coff + kCoffMachine);
  uint32_t sectionCount = ReadLe16(file + coff + kCoffNumberOfSections);
  image->pointerToSymbolTable = ReadLe32(file + coff + kCoffPointerToSymbolTable);
  uint32_t optionalSize = ReadLe16(file + coff + kCoffSizeOfOptionalHeader);
  if ((ReadLe16(file + coff + kCoffCharacteristics) & kCoffExecutableImage) == 0) {
    return Fail(error, "not an executable image (the COFF header does not mark it executable)");
  }
  if (sectionCount == 0 || sectionCount > kMaxSections) {
    return Fail(error, "the image declares " + std::to_string(sectionCount) +
                           " sections; from 1 to " + std::to_string(kMaxSections) +
                           " are accepted");
  }

  uint64_t optional = coff + kCoffHeaderSize;
  image->optionalHeaderOffset = static_cast<uint32_t>(optional);
  if (optionalSize < 2 || optional + optionalSize > length) {
    return Fail(error, "the optional header (" + std::to_string(optionalSize) +
                           " bytes) does not fit in the file");
  }
  image->magic = ReadLe16(file + optional + kOptMagic);
  uint32_t countField = 0;
  uint32_t directoriesField = 0;
  if (image->magic == kPe32Magic) {
    countField = kOpt32NumberOfRvaAndSizes;
    directoriesField = kOpt32DataDirectories;
  } else if (image->magic == kPe32PlusMagic) {
    countField = kOpt64NumberOfRvaAndSizes;
    directoriesField = kOpt64DataDirectories;
  } else {
    return Fail(
        error, "unknown optional header format " + Hex(image->magic) + " (neither PE32 nor PE32+)");
  }
  if (optionalSize < directoriesField) {
    return Fail(error, "the optional header (" + std::to_string(optionalSize) +
                           " bytes) is too short for its format");
  }
  const uint8_t* header = file + optional;
  uint32_t directoryCount = ReadLe32(header + countField);
  if (directoryCount > kMaxDataDirectories) {
    return Fail(error, "the optional header declares " + std::to_string(directoryCount) +
                           " data directories; at most " + std::to_string(kMaxDataDirectories) +
                           " exist");
  }
  if (directoriesField + directoryCount * kDataDirectorySize > optionalSize) {
    return Fail(error, "the data directories do not fit in the optional header");
  }
  for (uint32_t k = 0; k < directoryCount; ++k) {
    const uint8_t* entry = header + directoriesField + k * kDataDirectorySize;
    image->dataDirectories.push_back({ReadLe32(entry), ReadLe32(entry + 4)});
  }
  image->subsystem = ReadLe16(header + kOptSubsystem);
  image->sectionAlignment = ReadLe32(header + kOptSectionAlignment);
  image->fileAlignment = ReadLe32(header + kOptFileAlignment);
  image->sizeOfImage = ReadLe32(header + kOptSizeOfImage);
  image->sizeOfHeaders = ReadLe32(header + kOptSizeOfHeaders);
  image->checkSum = ReadLe32(header + kOptCheckSum);
  if (!CheckAlignments(*image, error)) {
    return false;
  }

  uint64_t table = optional + optionalSize;
  uint64_t tableEnd = table + uint64_t{sectionCount} * kSectionHeaderSize;
  image->sectionTableOffset = static_cast<uint32_t>(table);
  if (tableEnd > length) {
    return Fail(error, "the section table runs past the end of the file");
  }
  if (image->sizeOfHeaders < tableEnd || image->sizeOfHeaders > length) {
    return Fail(error, "SizeOfHeaders " + Hex(image->sizeOfHeaders) +
                           " does not lie between the end of the section table (" + Hex(tableEnd) +
                           ") and the end of the file (" + Hex(length) + ")");
  }
  image->sections.resize(sectionCount);
  for (uint32_t k = 0; k < sectionCount; ++k) {
    ReadSectionHeader(file + table + k * kSectionHeaderSize, &image->sections[k]);
  }
  return CheckSections(image, fileLength, error);
}

}  // namespace

bool ParsePeImage(std::vector<uint8_t> bytes, PeImage* image, std::string* error) {
  uint64_t length = bytes.size();
  return ParseImage(std::move(bytes), length, image, error);
}

bool ParsePeImageHeaders(std::vector<uint8_t> head, uint64_t fileLength, PeImage* image,
                         std::string* error) {
  if (head.size() > fileLength) {
    return Fail(error, "the head read is longer than the file");
  }
  return ParseImage(std::move(head), fileLength, image, error);
}

uint32_t SectionSpan(const PeSection& section) {
  return section.virtualSize != 0 ? section.virtualSize : section.rawSize;
}

std::string SectionName(const PeSection& section) {
  std::string name;
  for (uint8_t c : section.name) {
    if (c == 0) {
      break;
    }
    name.push_back(c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?');
  }
  return name;
}

int FindSectionOfRva(const PeImage& image, uint32_t rva) {
  for (size_t k = 0; k < image.sections.size(); ++k) {
    const PeSection& section = image.sections[k];
    if (rva >= section.virtualAddress &&
        uint64_t{rva} < uint64_t{section.virtualAddress} + SectionSpan(section)) {
      return static_cast<int>(k);
    }
  }
  return -1;
}

bool MapRvaToFileOffset(const PeImage& image, uint32_t rva, uint32_t size, uint32_t* offset) {
  int index = FindSectionOfRva(image, rva);
  if (index < 0 && size == 0) {
    // Empty data needs no bytes: it may also sit right at the end of a
    // section, where a writer that lays data out in order puts an empty
    // last block.
    for (size_t k = 0; k < image.sections.size() && index < 0; ++k) {
      const PeSection& section = image.sections[k];
      uint64_t end = uint64_t{section.virtualAddress} + SectionSpan(section);
      if (uint64_t{rva} == end && end - section.virtualAddress <= section.rawSize) {
        index = static_cast<int>(k);
      }
    }
  }
  if (index < 0) {
    return false;
  }
  const PeSection& section = image.sections[index];
  uint64_t end = uint64_t{rva - section.virtualAddress} + size;
  if (end > section.rawSize || end > SectionSpan(section)) {
    return false;
  }
  *offset = section.rawOffset + (rva - section.virtualAddress);
  return true;
}

PeDataDirectory DataDirectory(const PeImage& image, uint32_t index) {
  if (index >= image.dataDirectories.size()) {
    return {0, 0};
  }
  return image.dataDirectories[index];
}

uint32_t CheckSumFieldOffset(const PeImage& image) {
  return image.optionalHeaderOffset + kOptCheckSum;
}

uint32_t DataDirectoryFieldOffset(const PeImage& image, uint32_t index) {
  uint32_t first = image.magic == kPe32Magic ? kOpt32DataDirectories : kOpt64DataDirectories;
  return image.optionalHeaderOffset + first + index * kDataDirectorySize;
}

uint32_t SectionHeaderOffset(const PeImage& image, uint32_t index) {
  return image.sectionTableOffset + index * kSectionHeaderSize;
}
