// Small PE images built by hand for the PE library tests, with a layout and a
// resource tree written independently of the library: a .text section, a
// .rsrc section, optionally a .reloc section after it, an overlay and a debug
// directory whose entry points into the overlay.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct TestPeResource {
  std::u16string typeName;  // empty: typeNumber
  uint16_t typeNumber;
  std::u16string name;  // empty: number
  uint16_t number;
  uint16_t language;
  std::vector<uint8_t> data;
};

struct TestPeLayout {
  bool pe32Plus = false;
  bool withResources = true;
  bool relocAfterResources = true;  // otherwise .rsrc is the last section
  // The address the one base relocation (at .text + 0x20) fixes: by default
  // into .text itself.
  uint32_t relocatedAddress = 0x1004;
  uint32_t sizeOfHeaders = 0x400;
  // In directory order (sorted by type, name, language; names before numbers).
  std::vector<TestPeResource> resources;
  // Bytes after the last section; the COFF symbol table pointer points there.
  std::vector<uint8_t> overlay;
  bool debugEntryIntoOverlay = false;
  // The .rsrc raw size as the data's exact length, short of the file
  // alignment, as some linkers leave it.
  bool exactResourceRawSize = false;
};

// The resources a stub carries: the icon group "OSTREL" with its two icons, a
// version record and a manifest, all in language 0x409.
std::vector<TestPeResource> StubResources();
TestPeResource RcDataResource(uint16_t number, uint16_t language, std::vector<uint8_t> data);

const uint32_t kTestFileAlignment = 0x200;
const uint32_t kTestSectionAlignment = 0x1000;
const uint32_t kTestPeOffset = 0x80;
const uint32_t kTestTextRva = 0x1000;
const uint32_t kTestDebugDirectoryRva = 0x1100;  // inside .text

std::vector<uint8_t> BuildTestPe(const TestPeLayout& layout);

// The header checksum computed apart from the library: all words summed at
// once in 64 bits, the carries folded back afterwards.
uint32_t IndependentPeChecksum(std::vector<uint8_t> file, size_t checkSumOffset);

uint16_t Le16(const std::vector<uint8_t>& bytes, size_t offset);
uint32_t Le32(const std::vector<uint8_t>& bytes, size_t offset);
void PutLe16(std::vector<uint8_t>* bytes, size_t offset, uint16_t value);
void PutLe32(std::vector<uint8_t>* bytes, size_t offset, uint32_t value);
