// Writing a resource list as the contents of a resource section.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "peimage/resource_tree.h"

// Lays out the resources as a complete resource section that will be loaded
// at sectionRva: the root directory, the type directories and the name
// directories, each with its entries (names first, in directory order, then
// numbers ascending); then the name strings (a 16-bit length and the UTF-16
// code units, each distinct string once); then the data entries, their data
// addresses relative to the image; then the data, each resource's bytes at a
// multiple of 8. The result is not padded to the file alignment. Fails with a
// message in error for a type/name/language given twice, a directory of more
// than 65535 names or numbers, or a section of 2 GiB or more.
bool BuildResourceSection(const PeResourceTree& tree, uint32_t sectionRva,
                          std::vector<uint8_t>* section, std::string* error);

// The same section when one resource's bytes are streamed (its streamedSize
// set): head holds the section up to that resource's data, tail what follows
// it, and the section is head, the streamedSize bytes, tail. Without a
// streamed resource, head is the whole section and tail is empty. Fails as
// above, and for more than one streamed resource.
struct PeResourceSectionParts {
  std::vector<uint8_t> head;
  uint32_t streamedSize;
  std::vector<uint8_t> tail;
};
bool BuildResourceSectionParts(const PeResourceTree& tree, uint32_t sectionRva,
                               PeResourceSectionParts* parts, std::string* error);
