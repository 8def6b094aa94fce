// The resources of a PE image as a plain list: each resource is identified by
// its type, its name and its language (the three levels of the resource
// directory) and holds its data bytes and code page.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "contract/installer_contract.h"

// Predefined resource types.
const uint16_t kResourceTypeIcon = 3;
const uint16_t kResourceTypeRcData = 10;
const uint16_t kResourceTypeGroupIcon = 14;
const uint16_t kResourceTypeVersion = 16;
const uint16_t kResourceTypeManifest = 24;

// Resource data stays below the archive size limit, one resource and the
// whole section: the largest resource is an archive.
const uint64_t kResourceSizeLimit = kArchiveSizeLimit;

// A type or name: a number, or a string of UTF-16 code units (as stored; the
// resource compiler stores names in upper case).
struct PeResourceId {
  bool named;
  uint16_t number;
  std::u16string name;
};

struct PeResource {
  PeResourceId type;
  PeResourceId name;
  uint16_t language;
  uint32_t codePage;
  std::vector<uint8_t> data;
  // When not 0, data is empty and the resource's bytes, this many, are not
  // held here: the writer of the image supplies them while it writes
  // (resource_section_update.h).
  uint32_t streamedSize = 0;
};

// The size of the resource's bytes, held or streamed.
uint64_t ResourceDataSize(const PeResource& resource);

struct PeResourceTree {
  // The header fields of the root directory; written to every directory.
  uint32_t characteristics;
  uint32_t timeDateStamp;
  uint16_t majorVersion;
  uint16_t minorVersion;
  std::vector<PeResource> resources;
};

PeResourceId NumberedResourceId(uint16_t number);
// A name from ASCII text.
PeResourceId NamedResourceId(const std::string& name);
bool SameResourceId(const PeResourceId& a, const PeResourceId& b);
// The text of an id for messages: 10, or "OSTREL" (in quotes).
std::string DescribeResourceId(const PeResourceId& id);

// The order of the entries of a resource directory: names first, ordered by
// their code units with ASCII letters compared case-insensitively (the exact
// units break ties), then numbers in ascending order.
bool ResourceIdLess(const PeResourceId& a, const PeResourceId& b);
// By type, then name, then language.
bool ResourceLess(const PeResource& a, const PeResource& b);
void SortResources(PeResourceTree* tree);

// The index of the first resource with this type and name (any language), or -1.
int FindPeResource(const PeResourceTree& tree, const PeResourceId& type, const PeResourceId& name);

// The language to give a new resource: that of the first icon group, else of
// the first resource, else 0 (neutral).
uint16_t ChooseResourceLanguage(const PeResourceTree& tree);

// True for a resource size below kResourceSizeLimit; otherwise false with a
// message in error.
bool CheckResourceSize(uint64_t size, std::string* error);

// Makes data the one resource of this type and name. If the tree has the type
// and name already, its resource of the lowest language keeps its language and
// code page and gets the data, and the other languages are removed, so that a
// lookup finds this data whatever language it prefers. Otherwise the resource
// is added with the given language. Every other resource stays as it is.
// Fails, changing nothing, for data of 2 GiB or more.
bool SetResource(PeResourceTree* tree, const PeResourceId& type, const PeResourceId& name,
                 uint16_t language, std::vector<uint8_t> data, std::string* error);
// The same for a resource of size bytes supplied while the image is written;
// size is from 1 to below 2 GiB.
bool SetStreamedResource(PeResourceTree* tree, const PeResourceId& type, const PeResourceId& name,
                         uint16_t language, uint64_t size, std::string* error);
