// A PE executable image (PE32 or PE32+) held in memory, with its headers and
// section table checked against the file: every offset and size the rest of
// this library follows has been found inside the file before it is used.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "peimage/pe_format.h"

struct PeSection {
  uint8_t name[kSectionNameSize];  // as stored: NUL-padded, not terminated
  uint32_t virtualSize;
  uint32_t virtualAddress;
  uint32_t rawSize;
  uint32_t rawOffset;
  uint32_t characteristics;
};

struct PeDataDirectory {
  uint32_t rva;
  uint32_t size;
};

struct PeImage {
  std::vector<uint8_t> bytes;  // the whole file, or only its head (ParsePeImageHeaders)
  uint32_t peOffset;           // file offset of "PE\0\0"
  uint32_t optionalHeaderOffset;
  uint32_t sectionTableOffset;
  uint16_t machine;
  uint16_t magic;  // kPe32Magic or kPe32PlusMagic
  uint16_t subsystem;
  uint32_t sectionAlignment;
  uint32_t fileAlignment;
  uint32_t sizeOfImage;
  uint32_t sizeOfHeaders;
  uint32_t checkSum;
  uint32_t pointerToSymbolTable;
  std::vector<PeDataDirectory> dataDirectories;  // NumberOfRvaAndSizes entries
  std::vector<PeSection> sections;               // in section table order
  // First byte after the raw data of every section (at least SizeOfHeaders):
  // what follows, up to the end of the file, is the overlay.
  uint32_t sectionDataEnd;
};

// Takes bytes as the image and checks its headers and section table: the DOS
// and PE signatures, an executable of either optional header format, section
// and file alignment, SizeOfHeaders, every section's raw data inside the file
// without overlaps, virtual ranges in ascending order inside SizeOfImage.
// Returns false with a message in error when any of it does not hold.
bool ParsePeImage(std::vector<uint8_t> bytes, PeImage* image, std::string* error);

// The same checks for a file of fileLength bytes of which head holds the
// first ones, at least up to SizeOfHeaders: image->bytes is then only the
// head, for the readers that take the rest piece by piece.
bool ParsePeImageHeaders(std::vector<uint8_t> head, uint64_t fileLength, PeImage* image,
                         std::string* error);

// The file offset of the size bytes at rva, which must lie in one section's
// raw data (not in the zero-filled rest of its virtual size); empty data may
// also sit right at the end of a section. False if not.
bool MapRvaToFileOffset(const PeImage& image, uint32_t rva, uint32_t size, uint32_t* offset);

// The index of the section whose virtual range holds rva, or -1.
int FindSectionOfRva(const PeImage& image, uint32_t rva);

// The bytes a section takes in memory: its virtual size, or its raw size when
// the virtual size is 0, as the loader does.
uint32_t SectionSpan(const PeSection& section);

// The section's name as text (up to 8 characters).
std::string SectionName(const PeSection& section);

// The data directory entry, or an empty one when the image has fewer entries.
PeDataDirectory DataDirectory(const PeImage& image, uint32_t index);

// File offsets of header fields.
uint32_t CheckSumFieldOffset(const PeImage& image);
uint32_t DataDirectoryFieldOffset(const PeImage& image, uint32_t index);
uint32_t SectionHeaderOffset(const PeImage& image, uint32_t index);
