// Putting a new resource section into a PE image.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "peimage/pe_image.h"
#include "peimage/resource_tree.h"

// Writes to output a copy of image whose resources are tree, laid out as a
// new resource section at the end of the image:
//   - when the image's resource section (named ".rsrc", starting with the
//     resource directory) is its last section in memory and in the file, that
//     section is rewritten and resized in place;
//   - otherwise a section ".rsrc" is appended after the last one, and an old
//     ".rsrc" section is zeroed and renamed ".oldrsrc" (it keeps its place in
//     memory, so nothing else moves); resources kept inside another section
//     are left there, unused. An image without resources gets a new section.
// The section's address and raw data follow the section and file alignment.
// The section table, SizeOfImage, SizeOfInitializedData, the resource data
// directory and the header checksum are updated. An overlay (data after the
// last section, such as the COFF symbol and string tables a linker leaves) is
// carried behind the new section, and the symbol table pointer, section line
// number and relocation pointers and debug data pointers into it follow it.
// Refused with a message in error, output left empty: a signed image (the
// signature would no longer match), an image without a resource data
// directory entry, no room for another section header within SizeOfHeaders,
// more than 96 sections, an image that would reach 4 GiB.
bool StoreResourceSection(const PeImage& image, const PeResourceTree& tree,
                          std::vector<uint8_t>* output, std::string* error);
