// Putting a new resource section into a PE image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "peimage/pe_checksum.h"
#include "peimage/pe_image.h"
#include "peimage/resource_tree.h"

// An image as it is written: head, then the streamed resource's bytes
// (streamedSize of them, supplied by the writer), then tail. Without a
// streamed resource the image is head alone.
struct PeImageParts {
  std::vector<uint8_t> head;
  uint32_t streamedSize;
  std::vector<uint8_t> tail;
};

// Lays out a copy of image whose resources are tree. The written image holds
// the image's own sections and one resource section, nothing else:
//   - when the image's resource section (named ".rsrc", starting with the
//     resource directory) exists, the new one takes its place in memory and
//     in the file, and the sections after it move up behind it; only
//     discardable sections can move (base relocations, debug data: nothing
//     addresses them at run time but the base relocation directory entry,
//     which follows), and only when no relocated address and no other data
//     directory entry points at or beyond the resource section;
//   - otherwise (no resources, or resources kept inside another section,
//     which are then left there unused) a section ".rsrc" is appended after
//     the last one.
// Addresses and raw data follow the section and file alignment. The section
// table, SizeOfImage, SizeOfInitializedData, the resource and base relocation
// data directory entries and the header checksum are updated. An overlay (data
// after the last section, such as the COFF symbol and string tables a linker
// leaves) is carried behind the sections, and the symbol table pointer,
// section line number and relocation pointers and debug data pointers into it
// follow it.
// At most one resource of tree is streamed (PeResource::streamedSize); the
// header checksum counts its bytes through streamedSum, their sum taken from
// an empty one (AddToPeChecksum).
// Refused with a message in error: a signed image (the signature would no
// longer match), an image without a resource data directory entry, a section
// after the resource section that cannot move, a data directory entry or a
// relocated address pointing into what is replaced or moved, raw data not in
// the order of the sections, no room for another section header within
// SizeOfHeaders, more than 96 sections, an image that would reach 4 GiB.
bool LayOutResourceImage(const PeImage& image, const PeResourceTree& tree,
                         const PeChecksumSum& streamedSum, PeImageParts* parts, std::string* error);

// The same with every resource held in tree: the whole image in output (left
// empty on refusal).
bool StoreResourceSection(const PeImage& image, const PeResourceTree& tree,
                          std::vector<uint8_t>* output, std::string* error);
