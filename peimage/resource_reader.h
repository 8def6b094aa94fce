// Reading the resource directory of a PE image into a resource list.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "peimage/pe_image.h"
#include "peimage/resource_tree.h"

// Reads the tree the resource data directory points to: three levels (type,
// name, language) of directories leading to data entries, named and numbered
// entries, the data bytes of every resource. Every directory, name and data
// entry must lie in the raw data of the section holding the directory and
// every resource's data in the raw data of a section. Refused with a message
// in error: anything outside those bounds, a directory reached twice (a loop
// or a shared subtree), a tree deeper or shallower than three levels, a
// language given by name, a type/name/language given twice, the data of two
// resources overlapping. An image without a resource directory yields an
// empty list.
bool ReadResourceTree(const PeImage& image, PeResourceTree* tree, std::string* error);

// Reads size bytes of the image file at offset into bytes; false when it cannot.
using PeFileRead = std::function<bool(uint32_t offset, uint32_t size, uint8_t* bytes)>;

// Where a resource's data lies in the file: tree.resources[index] has size
// bytes at fileOffset.
struct PeResourcePlace {
  size_t index;
  uint32_t fileOffset;
  uint32_t size;
};

// The same walk over an image file read piece by piece through readAt, its
// headers parsed from its head (ParsePeImageHeaders): only the resource
// directory and the data of resources up to largestRead bytes are read (the
// data of larger ones is left empty), and every resource's place is listed in
// places, so that an installer's payload is read from its place in the file
// instead of into memory.
bool ReadResourceTreeInFile(const PeImage& headers, const PeFileRead& readAt, uint32_t largestRead,
                            PeResourceTree* tree, std::vector<PeResourcePlace>* places,
                            std::string* error);
