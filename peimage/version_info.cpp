// Writing VS_VERSIONINFO: nested blocks, each a 16-bit length (the block with
// its children), a 16-bit value length, a type (1 for text, 0 for binary), a
// NUL-terminated UTF-16 key, then the value and the children, each starting
// at a multiple of 4 bytes.
#include "peimage/version_info.h"

#include <cstdio>

#include "peimage/little_endian.h"
#include "peimage/utf16_text.h"

namespace {

const uint32_t kFixedInfoSignature = 0xFEEF04BD;
const uint32_t kFixedInfoVersion = 0x00010000;
const uint32_t kFixedInfoSize = 52;
const uint32_t kFileFlagsMask = 0x3F;
const uint32_t kFileOsNtWindows32 = 0x00040004;
const uint32_t kFileTypeApplication = 1;
const size_t kMaxBlockSize = 0xFFFF;

void Pad4(std::vector<uint8_t>* bytes) {
  bytes->resize((bytes->size() + 3) & ~size_t{3}, 0);
}

void PutUnits(std::vector<uint8_t>* bytes, const std::u16string& units) {
  for (char16_t unit : units) {
    bytes->push_back(static_cast<uint8_t>(unit));
    bytes->push_back(static_cast<uint8_t>(unit >> 8));
  }
  bytes->push_back(0);
  bytes->push_back(0);
}

// A block: header, key, value (valueLength as the header gives it: bytes for
// binary values, UTF-16 units for text), then the children.
std::vector<uint8_t> Block(const std::u16string& key, uint16_t type, uint16_t valueLength,
                           const std::vector<uint8_t>& value,
                           const std::vector<std::vector<uint8_t>>& children) {
  std::vector<uint8_t> block(6, 0);
  PutUnits(&block, key);
  Pad4(&block);
  block.insert(block.end(), value.begin(), value.end());
  for (const std::vector<uint8_t>& child : children) {
    Pad4(&block);
    block.insert(block.end(), child.begin(), child.end());
  }
  WriteLe16(block.data(), static_cast<uint16_t>(block.size() > kMaxBlockSize ? 0 : block.size()));
  WriteLe16(block.data() + 2, valueLength);
  WriteLe16(block.data() + 4, type);
  return block;
}

std::vector<uint8_t> TextBlock(const std::u16string& key, const std::u16string& text) {
  std::vector<uint8_t> value;
  PutUnits(&value, text);
  return Block(key, 1, static_cast<uint16_t>(text.size() + 1), value, {});
}

}  // namespace

bool HasVersionInfo(const VersionInfoFields& fields) {
  return !fields.productName.empty() || !fields.companyName.empty() ||
         !fields.fileVersion.empty() || !fields.productVersion.empty() ||
         !fields.fileDescription.empty() || !fields.legalCopyright.empty();
}

bool ParseVersionNumber(const std::string& text, uint16_t parts[4]) {
  for (int k = 0; k < 4; ++k) {
    parts[k] = 0;
  }
  int count = 0;
  size_t k = 0;
  while (true) {
    if (count == 4 || k >= text.size() || text[k] < '0' || text[k] > '9') {
      return false;
    }
    uint32_t value = 0;
    size_t digits = 0;
    for (; k < text.size() && text[k] >= '0' && text[k] <= '9'; ++k, ++digits) {
      value = value * 10 + static_cast<uint32_t>(text[k] - '0');
      if (digits >= 5 || value > 0xFFFF) {
        return false;
      }
    }
    parts[count++] = static_cast<uint16_t>(value);
    if (k == text.size()) {
      return true;
    }
    if (text[k] != '.') {
      return false;
    }
    ++k;
  }
}

bool BuildVersionInfo(const VersionInfoFields& fields, std::vector<uint8_t>* bytes,
                      std::string* error) {
  uint16_t fileVersion[4] = {0, 0, 0, 0};
  uint16_t productVersion[4] = {0, 0, 0, 0};
  if ((!fields.fileVersion.empty() && !ParseVersionNumber(fields.fileVersion, fileVersion)) ||
      (!fields.productVersion.empty() &&
       !ParseVersionNumber(fields.productVersion, productVersion))) {
    *error = "a version is \"a.b.c.d\": up to four numbers from 0 to 65535";
    return false;
  }
  struct Text {
    const char16_t* key;
    const std::string* value;
  };
  const Text texts[] = {
      {u"CompanyName", &fields.companyName}, {u"FileDescription", &fields.fileDescription},
      {u"FileVersion", &fields.fileVersion}, {u"LegalCopyright", &fields.legalCopyright},
      {u"ProductName", &fields.productName}, {u"ProductVersion", &fields.productVersion},
  };
  std::vector<std::vector<uint8_t>> strings;
  for (const Text& text : texts) {
    std::u16string units;
    if (text.value->empty()) {
      continue;
    }
    if (!Utf8ToUtf16(*text.value, &units)) {
      *error = "the version text \"" + *text.value + "\" is not UTF-8";
      return false;
    }
    strings.push_back(TextBlock(text.key, units));
  }
  char tableKey[16];
  std::snprintf(tableKey, sizeof tableKey, "%04X%04X", kVersionInfoLanguage, kVersionInfoCodePage);
  std::u16string tableName(tableKey, tableKey + 8);
  std::vector<uint8_t> stringFileInfo =
      Block(u"StringFileInfo", 1, 0, {}, {Block(tableName, 1, 0, {}, strings)});
  std::vector<uint8_t> translation(4);
  WriteLe16(translation.data(), kVersionInfoLanguage);
  WriteLe16(translation.data() + 2, kVersionInfoCodePage);
  std::vector<uint8_t> varFileInfo =
      Block(u"VarFileInfo", 1, 0, {}, {Block(u"Translation", 0, 4, translation, {})});

  std::vector<uint8_t> fixed(kFixedInfoSize, 0);
  uint8_t* at = fixed.data();
  WriteLe32(at, kFixedInfoSignature);
  WriteLe32(at + 4, kFixedInfoVersion);
  WriteLe32(at + 8, uint32_t{fileVersion[0]} << 16 | fileVersion[1]);
  WriteLe32(at + 12, uint32_t{fileVersion[2]} << 16 | fileVersion[3]);
  WriteLe32(at + 16, uint32_t{productVersion[0]} << 16 | productVersion[1]);
  WriteLe32(at + 20, uint32_t{productVersion[2]} << 16 | productVersion[3]);
  WriteLe32(at + 24, kFileFlagsMask);
  WriteLe32(at + 32, kFileOsNtWindows32);
  WriteLe32(at + 36, kFileTypeApplication);
  *bytes = Block(u"VS_VERSION_INFO", 0, kFixedInfoSize, fixed, {stringFileInfo, varFileInfo});
  if (bytes->size() > kMaxBlockSize) {
    *error = "the version texts are too long: the version resource must stay below 64 KiB";
    return false;
  }
  return true;
}
