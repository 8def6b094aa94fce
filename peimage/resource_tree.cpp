// The resource list: identifiers, directory order and replacing a resource.
#include "peimage/resource_tree.h"

#include <algorithm>
#include <utility>

namespace {

char16_t FoldAsciiCase(char16_t unit) {
  return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - u'a' + u'A') : unit;
}

int CompareNames(const std::u16string& a, const std::u16string& b) {
  size_t common = std::min(a.size(), b.size());
  for (size_t k = 0; k < common; ++k) {
    char16_t x = FoldAsciiCase(a[k]);
    char16_t y = FoldAsciiCase(b[k]);
    if (x != y) {
      return x < y ? -1 : 1;
    }
  }
  if (a.size() != b.size()) {
    return a.size() < b.size() ? -1 : 1;
  }
  return a.compare(b);
}

}  // namespace

PeResourceId NumberedResourceId(uint16_t number) {
  return PeResourceId{false, number, {}};
}

PeResourceId NamedResourceId(const std::string& name) {
  return PeResourceId{true, 0, std::u16string(name.begin(), name.end())};
}

bool SameResourceId(const PeResourceId& a, const PeResourceId& b) {
  return a.named == b.named && (a.named ? a.name == b.name : a.number == b.number);
}

std::string DescribeResourceId(const PeResourceId& id) {
  if (!id.named) {
    return std::to_string(id.number);
  }
  std::string text = "\"";
  for (char16_t unit : id.name) {
    text.push_back(unit >= 0x20 && unit < 0x7F ? static_cast<char>(unit) : '?');
  }
  return text + "\"";
}

bool ResourceIdLess(const PeResourceId& a, const PeResourceId& b) {
  if (a.named != b.named) {
    return a.named;
  }
  return a.named ? CompareNames(a.name, b.name) < 0 : a.number < b.number;
}

bool ResourceLess(const PeResource& a, const PeResource& b) {
  if (!SameResourceId(a.type, b.type)) {
    return ResourceIdLess(a.type, b.type);
  }
  if (!SameResourceId(a.name, b.name)) {
    return ResourceIdLess(a.name, b.name);
  }
  return a.language < b.language;
}

void SortResources(PeResourceTree* tree) {
  std::stable_sort(tree->resources.begin(), tree->resources.end(), ResourceLess);
}

int FindPeResource(const PeResourceTree& tree, const PeResourceId& type, const PeResourceId& name) {
  for (size_t k = 0; k < tree.resources.size(); ++k) {
    const PeResource& resource = tree.resources[k];
    if (SameResourceId(resource.type, type) && SameResourceId(resource.name, name)) {
      return static_cast<int>(k);
    }
  }
  return -1;
}

uint16_t ChooseResourceLanguage(const PeResourceTree& tree) {
  for (const PeResource& resource : tree.resources) {
    if (!resource.type.named && resource.type.number == kResourceTypeGroupIcon) {
      return resource.language;
    }
  }
  return tree.resources.empty() ? 0 : tree.resources[0].language;
}

bool CheckResourceSize(uint64_t size, std::string* error) {
  if (size >= kResourceSizeLimit) {
    *error = "a resource of " + std::to_string(size) +
             " bytes is too large; resources must stay below 2 GiB (" +
             std::to_string(kResourceSizeLimit) + " bytes)";
    return false;
  }
  return true;
}

uint64_t ResourceDataSize(const PeResource& resource) {
  return resource.streamedSize != 0 ? resource.streamedSize : resource.data.size();
}

bool SetStreamedResource(PeResourceTree* tree, const PeResourceId& type, const PeResourceId& name,
                         uint16_t language, uint64_t size, std::string* error) {
  if (size == 0) {
    *error = "a streamed resource of 0 bytes";
    return false;
  }
  if (!CheckResourceSize(size, error) ||
      !SetResource(tree, type, name, language, std::vector<uint8_t>(), error)) {
    return false;
  }
  tree->resources[FindPeResource(*tree, type, name)].streamedSize = static_cast<uint32_t>(size);
  return true;
}

bool SetResource(PeResourceTree* tree, const PeResourceId& type, const PeResourceId& name,
                 uint16_t language, std::vector<uint8_t> data, std::string* error) {
  if (!CheckResourceSize(data.size(), error)) {
    return false;
  }
  std::vector<PeResource>& resources = tree->resources;
  int kept = -1;
  for (size_t k = 0; k < resources.size(); ++k) {
    const PeResource& resource = resources[k];
    if (SameResourceId(resource.type, type) && SameResourceId(resource.name, name) &&
        (kept < 0 || resource.language < resources[kept].language)) {
      kept = static_cast<int>(k);
    }
  }
  if (kept < 0) {
    resources.push_back(PeResource{type, name, language, 0, std::move(data)});
    return true;
  }
  resources[kept].data = std::move(data);
  resources[kept].streamedSize = 0;
  std::vector<PeResource> remaining;
  remaining.reserve(resources.size());
  for (size_t k = 0; k < resources.size(); ++k) {
    bool otherLanguage = static_cast<int>(k) != kept && SameResourceId(resources[k].type, type) &&
                         SameResourceId(resources[k].name, name);
    if (!otherLanguage) {
      remaining.push_back(std::move(resources[k]));
    }
  }
  resources = std::move(remaining);
  return true;
}
