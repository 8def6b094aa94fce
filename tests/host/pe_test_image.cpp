// Hand-built PE images for the PE library tests.
#include "tests/host/pe_test_image.h"

namespace {

uint32_t Align(uint32_t value, uint32_t alignment) {
  return (value + alignment - 1) / alignment * alignment;
}

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t k = 0; k < size; ++k) {
    bytes[k] = static_cast<uint8_t>(seed + k * 7);
  }
  return bytes;
}

bool SameType(const TestPeResource& a, const TestPeResource& b) {
  return a.typeName == b.typeName && a.typeNumber == b.typeNumber;
}

void PutName(std::vector<uint8_t>* out, size_t at, const std::u16string& name) {
  PutLe16(out, at, static_cast<uint16_t>(name.size()));
  for (size_t k = 0; k < name.size(); ++k) {
    PutLe16(out, at + 2 + 2 * k, name[k]);
  }
}

// Depth first: each type directory followed by its name and language
// directories; then the strings, the data entries and the data.
std::vector<uint8_t> BuildResourceData(const std::vector<TestPeResource>& resources, uint32_t rva) {
  struct Dir {
    size_t first, count;  // resources covered
    size_t offset;
  };
  std::vector<Dir> types, names;
  for (size_t k = 0; k < resources.size(); ++k) {
    bool newType = k == 0 || !SameType(resources[k - 1], resources[k]);
    if (newType) {
      types.push_back({k, 0, 0});
    }
    if (newType || resources[k - 1].name != resources[k].name ||
        resources[k - 1].number != resources[k].number) {
      names.push_back({k, 0, 0});
    }
    ++types.back().count;
    ++names.back().count;
  }
  std::vector<uint8_t> out(16 + 8 * types.size());
  auto header = [&](size_t at, uint16_t named, uint16_t numbered) {
    PutLe32(&out, at + 4, 0x12345678);  // time stamp
    PutLe16(&out, at + 12, named);
    PutLe16(&out, at + 14, numbered);
  };
  std::vector<size_t> nameEntryOf(resources.size()), typeEntryOf(resources.size());
  std::vector<size_t> languageEntryOf(resources.size());
  size_t nameIndex = 0;
  uint16_t namedTypes = 0;
  for (size_t t = 0; t < types.size(); ++t) {
    namedTypes += resources[types[t].first].typeName.empty() ? 0 : 1;
    typeEntryOf[types[t].first] = 16 + 8 * t;
    types[t].offset = out.size();
    size_t typeDir = out.size();
    std::vector<Dir*> mine;
    while (nameIndex < names.size() && names[nameIndex].first < types[t].first + types[t].count) {
      mine.push_back(&names[nameIndex++]);
    }
    out.resize(out.size() + 16 + 8 * mine.size());
    uint16_t namedNames = 0;
    for (size_t n = 0; n < mine.size(); ++n) {
      namedNames += resources[mine[n]->first].name.empty() ? 0 : 1;
      nameEntryOf[mine[n]->first] = typeDir + 16 + 8 * n;
      size_t at = out.size();
      mine[n]->offset = at;
      out.resize(at + 16 + 8 * mine[n]->count);
      header(at, 0, static_cast<uint16_t>(mine[n]->count));
      for (size_t l = 0; l < mine[n]->count; ++l) {
        languageEntryOf[mine[n]->first + l] = at + 16 + 8 * l;
      }
    }
    header(typeDir, namedNames, static_cast<uint16_t>(mine.size() - namedNames));
  }
  header(0, namedTypes, static_cast<uint16_t>(types.size() - namedTypes));
  // Entries pointing at directories, names written as they come.
  auto idField = [&](const std::u16string& text, uint16_t number) -> uint32_t {
    if (text.empty()) {
      return number;
    }
    size_t at = out.size();
    out.resize(at + 2 + 2 * text.size());
    PutName(&out, at, text);
    return 0x80000000u | static_cast<uint32_t>(at);
  };
  for (const Dir& type : types) {
    const TestPeResource& r = resources[type.first];
    PutLe32(&out, typeEntryOf[type.first], idField(r.typeName, r.typeNumber));
    PutLe32(&out, typeEntryOf[type.first] + 4, 0x80000000u | static_cast<uint32_t>(type.offset));
  }
  for (const Dir& name : names) {
    const TestPeResource& r = resources[name.first];
    PutLe32(&out, nameEntryOf[name.first], idField(r.name, r.number));
    PutLe32(&out, nameEntryOf[name.first] + 4, 0x80000000u | static_cast<uint32_t>(name.offset));
  }
  out.resize(Align(static_cast<uint32_t>(out.size()), 4));
  size_t entries = out.size();
  out.resize(entries + 16 * resources.size());
  for (size_t k = 0; k < resources.size(); ++k) {
    out.resize(Align(static_cast<uint32_t>(out.size()), 4));
    PutLe32(&out, languageEntryOf[k], resources[k].language);
    PutLe32(&out, languageEntryOf[k] + 4, static_cast<uint32_t>(entries + 16 * k));
    PutLe32(&out, entries + 16 * k, rva + static_cast<uint32_t>(out.size()));
    PutLe32(&out, entries + 16 * k + 4, static_cast<uint32_t>(resources[k].data.size()));
    out.insert(out.end(), resources[k].data.begin(), resources[k].data.end());
  }
  return out;
}

struct Section {
  const char* name;
  uint32_t rva;
  uint32_t virtualSize;
  std::vector<uint8_t> data;
  uint32_t characteristics;
};

}  // namespace

std::vector<TestPeResource> StubResources() {
  std::vector<uint8_t> group = {0, 0, 1, 0, 2, 0};
  for (uint16_t id = 1; id <= 2; ++id) {
    std::vector<uint8_t> entry = {32, 32, 16, 0, 1, 0, 4, 0, 0xE8, 2, 0, 0};
    entry.push_back(static_cast<uint8_t>(id));
    entry.push_back(0);
    group.insert(group.end(), entry.begin(), entry.end());
  }
  return {
      {u"", 3, u"", 1, 0x409, Pattern(744, 1)},  {u"", 3, u"", 2, 0x409, Pattern(301, 2)},
      {u"", 14, u"OSTREL", 0, 0x409, group},     {u"", 16, u"", 1, 0x409, Pattern(92, 3)},
      {u"", 24, u"", 1, 0x409, Pattern(381, 4)},
  };
}

TestPeResource RcDataResource(uint16_t number, uint16_t language, std::vector<uint8_t> data) {
  return {u"", 10, u"", number, language, std::move(data)};
}

std::vector<uint8_t> BuildTestPe(const TestPeLayout& layout) {
  std::vector<Section> sections;
  std::vector<uint8_t> text = Pattern(0x123, 9);
  PutLe32(&text, 0x20, layout.relocatedAddress);  // the image base is 0
  sections.push_back({".text", kTestTextRva, 0x123, text, 0x60000020});
  uint32_t rva = 0x2000;
  if (layout.withResources) {
    std::vector<uint8_t> rsrc = BuildResourceData(layout.resources, rva);
    uint32_t size = static_cast<uint32_t>(rsrc.size());
    sections.push_back({".rsrc", rva, size, std::move(rsrc), 0x40000040});
    rva += Align(size, kTestSectionAlignment);
  }
  if (layout.relocAfterResources) {
    // One block: the page of .text, a 32-bit address at 0x20, padding.
    std::vector<uint8_t> reloc(0xC, 0);
    PutLe32(&reloc, 0, kTestTextRva);
    PutLe32(&reloc, 4, 0xC);
    PutLe16(&reloc, 8, 0x3020);
    sections.push_back({".reloc", rva, 0xC, reloc, 0x42000040});
  }
  bool plus = layout.pe32Plus;
  uint32_t optionalSize = plus ? 240 : 224;
  std::vector<uint8_t> file(layout.sizeOfHeaders);
  file[0] = 'M';
  file[1] = 'Z';
  PutLe32(&file, 0x3C, kTestPeOffset);
  PutLe32(&file, kTestPeOffset, 0x4550);
  size_t coff = kTestPeOffset + 4;
  PutLe16(&file, coff, plus ? 0x8664 : 0x14C);
  PutLe16(&file, coff + 2, static_cast<uint16_t>(sections.size()));
  PutLe16(&file, coff + 16, static_cast<uint16_t>(optionalSize));
  PutLe16(&file, coff + 18, plus ? 0x22 : 0x102);
  size_t opt = coff + 20;
  size_t table = opt + optionalSize;
  uint32_t initialized = 0;
  for (size_t k = 0; k < sections.size(); ++k) {
    Section& s = sections[k];
    uint32_t rawSize = Align(static_cast<uint32_t>(s.data.size()), kTestFileAlignment);
    size_t header = table + 40 * k;
    bool exact = layout.exactResourceRawSize && std::string(s.name) == ".rsrc";
    for (size_t c = 0; s.name[c] != 0; ++c) {
      file[header + c] = static_cast<uint8_t>(s.name[c]);
    }
    PutLe32(&file, header + 8, s.virtualSize);
    PutLe32(&file, header + 12, s.rva);
    PutLe32(&file, header + 16, exact ? static_cast<uint32_t>(s.data.size()) : rawSize);
    PutLe32(&file, header + 20, static_cast<uint32_t>(file.size()));
    PutLe32(&file, header + 36, s.characteristics);
    if (s.characteristics & 0x40) {
      initialized += exact ? static_cast<uint32_t>(s.data.size()) : rawSize;
    }
    s.data.resize(rawSize);
    file.insert(file.end(), s.data.begin(), s.data.end());
  }
  const Section& last = sections.back();
  size_t dirs = opt + (plus ? 112 : 96);
  PutLe16(&file, opt, plus ? 0x20B : 0x10B);
  PutLe32(&file, opt + 4, 0x200);
  PutLe32(&file, opt + 8, initialized);
  PutLe32(&file, opt + 16, kTestTextRva);
  PutLe32(&file, opt + 32, kTestSectionAlignment);
  PutLe32(&file, opt + 36, kTestFileAlignment);
  PutLe16(&file, opt + 40, 4);
  PutLe16(&file, opt + 48, 4);
  PutLe32(&file, opt + 56, Align(last.rva + last.virtualSize, kTestSectionAlignment));
  PutLe32(&file, opt + 60, layout.sizeOfHeaders);
  PutLe16(&file, opt + 68, 2);
  PutLe32(&file, opt + (plus ? 108 : 92), 16);
  if (layout.withResources) {
    PutLe32(&file, dirs + 8 * 2, sections[1].rva);
    PutLe32(&file, dirs + 8 * 2 + 4, sections[1].virtualSize);
  }
  if (layout.relocAfterResources) {
    PutLe32(&file, dirs + 8 * 5, last.rva);
    PutLe32(&file, dirs + 8 * 5 + 4, last.virtualSize);
  }
  if (!layout.overlay.empty()) {
    PutLe32(&file, coff + 8, static_cast<uint32_t>(file.size()));
    if (layout.debugEntryIntoOverlay) {
      size_t entry = Le32(file, table + 20) + (kTestDebugDirectoryRva - kTestTextRva);
      PutLe32(&file, entry + 16, static_cast<uint32_t>(layout.overlay.size()));
      PutLe32(&file, entry + 24, static_cast<uint32_t>(file.size()));
      PutLe32(&file, dirs + 8 * 6, kTestDebugDirectoryRva);
      PutLe32(&file, dirs + 8 * 6 + 4, 28);
    }
    file.insert(file.end(), layout.overlay.begin(), layout.overlay.end());
  }
  PutLe32(&file, opt + 64, IndependentPeChecksum(file, opt + 64));
  return file;
}

uint32_t IndependentPeChecksum(std::vector<uint8_t> file, size_t checkSumOffset) {
  for (size_t k = 0; k < 4; ++k) {
    file[checkSumOffset + k] = 0;
  }
  uint64_t sum = 0;
  for (size_t k = 0; k < file.size(); k += 2) {
    sum += file[k] + (k + 1 < file.size() ? file[k + 1] * 256u : 0u);
  }
  while (sum > 0xFFFF) {
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  return static_cast<uint32_t>(sum + file.size());
}

uint16_t Le16(const std::vector<uint8_t>& bytes, size_t offset) {
  return static_cast<uint16_t>(bytes.at(offset) | bytes.at(offset + 1) << 8);
}

uint32_t Le32(const std::vector<uint8_t>& bytes, size_t offset) {
  return Le16(bytes, offset) | static_cast<uint32_t>(Le16(bytes, offset + 2)) << 16;
}

void PutLe16(std::vector<uint8_t>* bytes, size_t offset, uint16_t value) {
  bytes->at(offset) = static_cast<uint8_t>(value);
  bytes->at(offset + 1) = static_cast<uint8_t>(value >> 8);
}

void PutLe32(std::vector<uint8_t>* bytes, size_t offset, uint32_t value) {
  PutLe16(bytes, offset, static_cast<uint16_t>(value));
  PutLe16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}
