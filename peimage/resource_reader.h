// Reading the resource directory of a PE image into a resource list.
#pragma once

#include <string>

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
