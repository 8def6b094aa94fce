// Resource section layout.
#include "peimage/resource_writer.h"

#include <algorithm>
#include <map>
#include <utility>

#include "peimage/little_endian.h"

namespace {

const uint64_t kDirectoryHeaderSize = 16;
const uint64_t kDirectoryEntrySize = 8;
const uint64_t kDataEntrySize = 16;
const uint64_t kDataAlignment = 8;
const uint32_t kHighBit = 0x80000000u;
const size_t kMaxEntriesOfAKind = 0xFFFF;
const size_t kMaxNameLength = 0xFFFF;

struct NameGroup {
  const PeResourceId* name;
  std::vector<const PeResource*> languages;
  uint64_t directory;
};

struct TypeGroup {
  const PeResourceId* type;
  std::vector<NameGroup> names;
  uint64_t directory;
};

struct Layout {
  uint64_t root;
  std::vector<TypeGroup> types;
  std::map<std::u16string, uint64_t> strings;
  std::map<const PeResource*, uint64_t> dataEntries;
  std::map<const PeResource*, uint64_t> data;
  uint64_t size;
};

bool GroupResources(const PeResourceTree& tree, Layout* layout, std::string* error) {
  std::vector<const PeResource*> sorted;
  for (const PeResource& resource : tree.resources) {
    sorted.push_back(&resource);
  }
  std::stable_sort(sorted.begin(), sorted.end(),
                   [](const PeResource* a, const PeResource* b) { return ResourceLess(*a, *b); });
  for (const PeResource* resource : sorted) {
    if (resource->type.name.size() > kMaxNameLength ||
        resource->name.name.size() > kMaxNameLength) {
      *error = "a resource name is longer than 65535 characters";
      return false;
    }
    std::vector<TypeGroup>& types = layout->types;
    if (types.empty() || !SameResourceId(*types.back().type, resource->type)) {
      types.push_back(TypeGroup{&resource->type, {}, 0});
    }
    std::vector<NameGroup>& names = types.back().names;
    if (names.empty() || !SameResourceId(*names.back().name, resource->name)) {
      names.push_back(NameGroup{&resource->name, {}, 0});
    }
    std::vector<const PeResource*>& languages = names.back().languages;
    if (!languages.empty() && languages.back()->language == resource->language) {
      *error = "resource " + DescribeResourceId(resource->type) + "/" +
               DescribeResourceId(resource->name) + " language " +
               std::to_string(resource->language) + " appears twice";
      return false;
    }
    languages.push_back(resource);
  }
  return true;
}

// Whether a directory's entries fit the 16-bit counts of names and numbers.
bool FitsDirectory(size_t named, size_t numbered, std::string* error) {
  if (named > kMaxEntriesOfAKind || numbered > kMaxEntriesOfAKind) {
    *error = "a resource directory would hold more than 65535 names or numbers";
    return false;
  }
  return true;
}

size_t CountNamed(const std::vector<const PeResourceId*>& ids) {
  return static_cast<size_t>(
      std::count_if(ids.begin(), ids.end(), [](const PeResourceId* id) { return id->named; }));
}

void AddString(Layout* layout, const PeResourceId& id, uint64_t* position) {
  if (id.named && layout->strings.emplace(id.name, *position).second) {
    *position += 2 + 2 * uint64_t{id.name.size()};
  }
}

bool PlanLayout(Layout* layout, std::string* error) {
  std::vector<const PeResourceId*> typeIds;
  for (const TypeGroup& type : layout->types) {
    typeIds.push_back(type.type);
  }
  if (!FitsDirectory(CountNamed(typeIds), typeIds.size() - CountNamed(typeIds), error)) {
    return false;
  }
  uint64_t position = kDirectoryHeaderSize + kDirectoryEntrySize * typeIds.size();
  for (TypeGroup& type : layout->types) {
    std::vector<const PeResourceId*> nameIds;
    for (const NameGroup& name : type.names) {
      nameIds.push_back(name.name);
    }
    if (!FitsDirectory(CountNamed(nameIds), nameIds.size() - CountNamed(nameIds), error)) {
      return false;
    }
    type.directory = position;
    position += kDirectoryHeaderSize + kDirectoryEntrySize * type.names.size();
  }
  for (TypeGroup& type : layout->types) {
    for (NameGroup& name : type.names) {
      if (!FitsDirectory(0, name.languages.size(), error)) {
        return false;
      }
      name.directory = position;
      position += kDirectoryHeaderSize + kDirectoryEntrySize * name.languages.size();
    }
  }
  for (const TypeGroup& type : layout->types) {
    AddString(layout, *type.type, &position);
    for (const NameGroup& name : type.names) {
      AddString(layout, *name.name, &position);
    }
  }
  position = AlignUp(position, kDataAlignment);
  for (const TypeGroup& type : layout->types) {
    for (const NameGroup& name : type.names) {
      for (const PeResource* resource : name.languages) {
        layout->dataEntries[resource] = position;
        position += kDataEntrySize;
      }
    }
  }
  for (const TypeGroup& type : layout->types) {
    for (const NameGroup& name : type.names) {
      for (const PeResource* resource : name.languages) {
        position = AlignUp(position, kDataAlignment);
        layout->data[resource] = position;
        position += ResourceDataSize(*resource);
        if (position >= kResourceSizeLimit) {
          *error = "the resources would take 2 GiB or more";
          return false;
        }
      }
    }
  }
  layout->size = position;
  return true;
}

uint8_t* WriteDirectoryHeader(const PeResourceTree& tree, uint8_t* at, size_t named,
                              size_t numbered) {
  WriteLe32(at, tree.characteristics);
  WriteLe32(at + 4, tree.timeDateStamp);
  WriteLe16(at + 8, tree.majorVersion);
  WriteLe16(at + 10, tree.minorVersion);
  WriteLe16(at + 12, static_cast<uint16_t>(named));
  WriteLe16(at + 14, static_cast<uint16_t>(numbered));
  return at + kDirectoryHeaderSize;
}

uint32_t IdField(const Layout& layout, const PeResourceId& id) {
  return id.named ? kHighBit | static_cast<uint32_t>(layout.strings.at(id.name)) : id.number;
}

void WriteEntry(uint8_t* at, uint32_t id, uint32_t target) {
  WriteLe32(at, id);
  WriteLe32(at + 4, target);
}

}  // namespace

bool BuildResourceSectionParts(const PeResourceTree& tree, uint32_t sectionRva,
                               PeResourceSectionParts* parts, std::string* error) {
  Layout layout{};
  if (!GroupResources(tree, &layout, error) || !PlanLayout(&layout, error)) {
    return false;
  }
  if (uint64_t{sectionRva} + layout.size > UINT32_MAX) {
    *error = "the resources would end beyond the 4 GiB address space of the image";
    return false;
  }
  // The streamed resource's data is a gap in the bytes held here; everything
  // after it moves down by its size.
  uint64_t gap = layout.size;
  uint64_t gapSize = 0;
  for (const PeResource& resource : tree.resources) {
    if (resource.streamedSize == 0) {
      continue;
    }
    if (gapSize != 0) {
      *error = "more than one resource is streamed";
      return false;
    }
    gap = layout.data.at(&resource);
    gapSize = resource.streamedSize;
  }
  std::vector<uint8_t> section(layout.size - gapSize, 0);
  auto at = [&](uint64_t position) {
    return section.data() + (position >= gap + gapSize ? position - gapSize : position);
  };
  uint8_t* bytes = section.data();

  std::vector<const PeResourceId*> typeIds;
  for (const TypeGroup& type : layout.types) {
    typeIds.push_back(type.type);
  }
  size_t namedTypes = CountNamed(typeIds);
  uint8_t* entry = WriteDirectoryHeader(tree, bytes, namedTypes, typeIds.size() - namedTypes);
  for (const TypeGroup& type : layout.types) {
    WriteEntry(entry, IdField(layout, *type.type),
               kHighBit | static_cast<uint32_t>(type.directory));
    entry += kDirectoryEntrySize;

    std::vector<const PeResourceId*> nameIds;
    for (const NameGroup& name : type.names) {
      nameIds.push_back(name.name);
    }
    size_t namedNames = CountNamed(nameIds);
    uint8_t* nameEntry =
        WriteDirectoryHeader(tree, bytes + type.directory, namedNames, nameIds.size() - namedNames);
    for (const NameGroup& name : type.names) {
      WriteEntry(nameEntry, IdField(layout, *name.name),
                 kHighBit | static_cast<uint32_t>(name.directory));
      nameEntry += kDirectoryEntrySize;

      uint8_t* languageEntry =
          WriteDirectoryHeader(tree, bytes + name.directory, 0, name.languages.size());
      for (const PeResource* resource : name.languages) {
        uint64_t dataEntry = layout.dataEntries.at(resource);
        uint64_t data = layout.data.at(resource);
        WriteEntry(languageEntry, resource->language, static_cast<uint32_t>(dataEntry));
        languageEntry += kDirectoryEntrySize;
        WriteLe32(bytes + dataEntry, static_cast<uint32_t>(sectionRva + data));
        WriteLe32(bytes + dataEntry + 4, static_cast<uint32_t>(ResourceDataSize(*resource)));
        WriteLe32(bytes + dataEntry + 8, resource->codePage);
        std::copy(resource->data.begin(), resource->data.end(), at(data));
      }
    }
  }
  for (const auto& string : layout.strings) {
    uint8_t* text = bytes + string.second;
    WriteLe16(text, static_cast<uint16_t>(string.first.size()));
    for (size_t k = 0; k < string.first.size(); ++k) {
      WriteLe16(text + 2 + 2 * k, string.first[k]);
    }
  }
  parts->head.assign(section.begin(), section.begin() + gap);
  parts->streamedSize = static_cast<uint32_t>(gapSize);
  parts->tail.assign(section.begin() + gap, section.end());
  return true;
}

bool BuildResourceSection(const PeResourceTree& tree, uint32_t sectionRva,
                          std::vector<uint8_t>* section, std::string* error) {
  PeResourceSectionParts parts;
  if (!BuildResourceSectionParts(tree, sectionRva, &parts, error)) {
    return false;
  }
  if (parts.streamedSize != 0) {
    *error = "a streamed resource in a section built whole";
    return false;
  }
  *section = std::move(parts.head);
  return true;
}
