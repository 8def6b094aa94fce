// Layout of the PE/COFF executable headers: field offsets and the values this
// code relies on. Offsets are in bytes from the start of the structure named.
#pragma once

#include <cstdint>

// DOS header: "MZ" and, at 0x3C, the file offset of the PE signature.
const uint32_t kDosHeaderSize = 64;
const uint16_t kDosSignature = 0x5A4D;  // "MZ"
const uint32_t kDosPeOffsetField = 0x3C;

const uint32_t kPeSignature = 0x00004550;  // "PE\0\0"
const uint32_t kPeSignatureSize = 4;

// COFF file header, right after the signature.
const uint32_t kCoffHeaderSize = 20;
const uint32_t kCoffMachine = 0;
const uint32_t kCoffNumberOfSections = 2;
const uint32_t kCoffPointerToSymbolTable = 8;
const uint32_t kCoffSizeOfOptionalHeader = 16;
const uint32_t kCoffCharacteristics = 18;
const uint16_t kCoffExecutableImage = 0x0002;

const uint16_t kMachineI386 = 0x014C;
const uint16_t kMachineAmd64 = 0x8664;

// Optional header, right after the COFF header. PE32 and PE32+ agree on every
// field used here except where the data directories start.
const uint16_t kPe32Magic = 0x010B;
const uint16_t kPe32PlusMagic = 0x020B;
const uint32_t kOptMagic = 0;
const uint32_t kOptSizeOfInitializedData = 8;
const uint32_t kOpt64ImageBase = 24;  // 8 bytes in PE32+
const uint32_t kOpt32ImageBase = 28;  // 4 bytes in PE32
const uint32_t kOptSectionAlignment = 32;
const uint32_t kOptFileAlignment = 36;
const uint32_t kOptSizeOfImage = 56;
const uint32_t kOptSizeOfHeaders = 60;
const uint32_t kOptCheckSum = 64;
const uint32_t kOptSubsystem = 68;
const uint32_t kOpt32NumberOfRvaAndSizes = 92;
const uint32_t kOpt32DataDirectories = 96;
const uint32_t kOpt64NumberOfRvaAndSizes = 108;
const uint32_t kOpt64DataDirectories = 112;

const uint16_t kSubsystemWindowsGui = 2;
const uint16_t kSubsystemWindowsConsole = 3;

// Data directories: RVA and size, 8 bytes each.
const uint32_t kDataDirectorySize = 8;
const uint32_t kMaxDataDirectories = 16;
const uint32_t kResourceDirectory = 2;
const uint32_t kCertificateDirectory = 4;  // its "RVA" is a file offset
const uint32_t kBaseRelocationDirectory = 5;
const uint32_t kDebugDirectory = 6;

// Base relocations: blocks of a page RVA and a block size (8 bytes), then
// 16-bit entries, the type in the top 4 bits and the offset in the page below.
const uint32_t kRelocationBlockHeaderSize = 8;
const uint16_t kRelocationAbsolute = 0;  // padding
const uint16_t kRelocationHighLow = 3;   // a 32-bit address
const uint16_t kRelocationDir64 = 10;    // a 64-bit address

// Debug directory entries: 28 bytes, the raw data as a file offset at 24.
const uint32_t kDebugEntrySize = 28;
const uint32_t kDebugPointerToRawData = 24;

// Section headers, 40 bytes each, right after the optional header.
const uint32_t kSectionHeaderSize = 40;
const uint32_t kSectionNameSize = 8;
const uint32_t kSectionVirtualSize = 8;
const uint32_t kSectionVirtualAddress = 12;
const uint32_t kSectionSizeOfRawData = 16;
const uint32_t kSectionPointerToRawData = 20;
const uint32_t kSectionPointerToRelocations = 24;
const uint32_t kSectionPointerToLinenumbers = 28;
const uint32_t kSectionCharacteristics = 36;
// The loader of the oldest supported systems takes at most 96 sections.
const uint32_t kMaxSections = 96;

const uint32_t kSectionInitializedData = 0x00000040;
// Memory the loader may drop after loading: nothing addresses it at run time.
const uint32_t kSectionDiscardable = 0x02000000;
const uint32_t kSectionMemoryRead = 0x40000000;
