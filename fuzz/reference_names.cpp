#include "fuzz/reference_names.h"

#include <clocale>
#include <cwctype>
#include <set>
#include <vector>

#include "fuzz/fuzz_check.h"

namespace {

// The characters of code page 1252 at 0x80-0x9F; 0 where the code page has
// none. Every other byte is the Unicode character of the same number.
const wchar_t kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

wchar_t CharacterOf(unsigned char byte) {
  if (byte >= 0x80 && byte < 0xA0) {
    return kCp1252High[byte - 0x80];
  }
  return static_cast<wchar_t>(byte);
}

// The byte of a character in code page 1252, or -1.
int ByteOf(wchar_t character) {
  for (int byte = 0; byte < 256; ++byte) {
    if (CharacterOf(static_cast<unsigned char>(byte)) == character &&
        (character != 0 || byte == 0)) {
      return byte;
    }
  }
  return -1;
}

void UseUnicodeCharacterClasses() {
  static const bool ready = std::setlocale(LC_CTYPE, "C.UTF-8") != nullptr;
  FUZZ_CHECK(ready, "the C.UTF-8 locale is available");
}

std::string AsciiUpper(const std::string& text) {
  std::string upper = text;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  return upper;
}

bool IsSeparator(char c) {
  return c == '\\' || c == '/';
}

}  // namespace

std::string ReferenceUpperCase(const std::string& text) {
  static const std::vector<unsigned char> kUpper = [] {
    UseUnicodeCharacterClasses();
    std::vector<unsigned char> upper(256);
    for (int byte = 0; byte < 256; ++byte) {
      wchar_t character = CharacterOf(static_cast<unsigned char>(byte));
      int mapped = character == 0 ? -1 : ByteOf(static_cast<wchar_t>(std::towupper(character)));
      upper[byte] = static_cast<unsigned char>(mapped >= 0 ? mapped : byte);
    }
    return upper;
  }();
  std::string upper;
  for (char c : text) {
    upper.push_back(static_cast<char>(kUpper[static_cast<unsigned char>(c)]));
  }
  return upper;
}

std::string ReferenceTrimName(const std::string& stored, int32_t layout) {
  size_t last = stored.find_last_not_of(' ');
  std::string trimmed = last == std::string::npos ? std::string() : stored.substr(0, last + 1);
  if (layout == 2) {
    size_t first = trimmed.find_first_not_of(' ');
    trimmed = first == std::string::npos ? std::string() : trimmed.substr(first);
  }
  return trimmed;
}

std::string DeviceNamedBy(const std::string& component) {
  static const std::set<std::string> kDevices = [] {
    std::set<std::string> devices = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    const std::string numbers = "0123456789\xB9\xB2\xB3";
    for (char number : numbers) {
      devices.insert(std::string("COM") + number);
      devices.insert(std::string("LPT") + number);
    }
    return devices;
  }();
  std::string base = component.substr(0, component.find('.'));
  while (!base.empty() && base.back() == ' ') {
    base.pop_back();
  }
  base = AsciiUpper(base);
  return kDevices.count(base) != 0 ? base : std::string();
}

bool ReferenceIsSafeName(const std::string& name) {
  if (name.empty() || name.back() == '.' || name.back() == ' ') {
    return false;
  }
  for (char c : name) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F || std::string("\\/:<>\"|?*").find(c) != std::string::npos) {
      return false;
    }
  }
  return DeviceNamedBy(name).empty();
}

std::string ResolveJoinedPath(const std::string& folder, const std::string& name) {
  std::string joined = folder;
  while (!joined.empty() && joined.back() == '\\') {
    joined.pop_back();
  }
  joined += "\\" + name;
  std::vector<std::string> components;
  std::string current;
  for (size_t i = 0; i <= joined.size(); ++i) {
    if (i < joined.size() && !IsSeparator(joined[i])) {
      current.push_back(joined[i]);
      continue;
    }
    if (components.empty()) {
      components.push_back(current);  // the drive, "C:"
    } else if (current == "..") {
      if (components.size() > 1) {
        components.pop_back();
      }
    } else {
      while (!current.empty() && (current.back() == '.' || current.back() == ' ')) {
        current.pop_back();
      }
      if (!current.empty()) {
        std::string device = DeviceNamedBy(current);
        if (!device.empty()) {
          return "\\\\.\\" + device;
        }
        components.push_back(current);
      }
    }
    current.clear();
  }
  std::string path;
  for (size_t i = 0; i < components.size(); ++i) {
    path += (i == 0 ? "" : "\\") + components[i];
  }
  return AsciiUpper(path);
}

std::u16string WidenCodePage1252(const char* name, int32_t length) {
  std::u16string units;
  for (int32_t i = 0; i < length; ++i) {
    units.push_back(static_cast<char16_t>(static_cast<uint8_t>(name[i])));
  }
  return units;
}
