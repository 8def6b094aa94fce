// Code-page names: UTF-8 and UTF-16, normalisation and the safe-name rule.
#include "tools/eek/code_page.h"

#include "archive/container.h"
#include "archive/entry_name.h"
#include "tools/eek/messages.h"

namespace {

int targetCodePage = kDefaultCodePage;

}  // namespace

int TargetCodePage() {
  return targetCodePage;
}

void SetTargetCodePage(int codePage) {
  targetCodePage = codePage;
}

bool IsKnownCodePage(int codePage) {
  return (codePage >= 1250 && codePage <= 1258) || codePage == 932 || codePage == 936 ||
         codePage == 949 || codePage == 950;
}

namespace {

// The number of continuation bytes after a UTF-8 lead byte, or -1.
int ContinuationCount(uint8_t lead) {
  if (lead < 0x80) {
    return 0;
  }
  if ((lead >> 5) == 6) {
    return 1;
  }
  if ((lead >> 4) == 14) {
    return 2;
  }
  return (lead >> 3) == 30 ? 3 : -1;
}

}  // namespace

bool Utf8ToUtf16(const std::string& utf8, std::u16string* units) {
  static const uint32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
  units->clear();
  size_t i = 0;
  while (i < utf8.size()) {
    uint8_t lead = static_cast<uint8_t>(utf8[i]);
    int extra = ContinuationCount(lead);
    if (extra < 0 || utf8.size() - i <= static_cast<size_t>(extra)) {
      return false;
    }
    uint32_t code = extra == 0 ? lead : lead & (0x3Fu >> extra);
    for (int k = 1; k <= extra; ++k) {
      uint8_t next = static_cast<uint8_t>(utf8[i + static_cast<size_t>(k)]);
      if ((next & 0xC0) != 0x80) {
        return false;
      }
      code = (code << 6) | (next & 0x3Fu);
    }
    if (code < kLeast[extra] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return false;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      units->push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      units->push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      units->push_back(static_cast<char16_t>(code));
    }
    i += static_cast<size_t>(extra) + 1;
  }
  return true;
}

bool Utf16ToUtf8(const std::u16string& units, std::string* utf8) {
  utf8->clear();
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t code = units[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (units[i + 1] - 0xDC00u);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      return false;
    }
    if (code < 0x80) {
      utf8->push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      utf8->push_back(static_cast<char>(0xC0 | (code >> 6)));
      utf8->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      utf8->push_back(static_cast<char>(0xE0 | (code >> 12)));
      utf8->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      utf8->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      utf8->push_back(static_cast<char>(0xF0 | (code >> 18)));
      utf8->push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      utf8->push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      utf8->push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  return true;
}

bool HostNameToAnsi(int codePage, const std::string& hostName, std::string* ansi) {
  std::u16string units;
  return Utf8ToUtf16(hostName, &units) && EncodeAnsi(codePage, units, ansi);
}

bool AnsiToHostName(int codePage, const std::string& ansi, std::string* hostName) {
  std::u16string units;
  return DecodeAnsi(codePage, ansi, &units) && Utf16ToUtf8(units, hostName);
}

std::string NormaliseNameInCodePage(int codePage, const char* stored, int32_t length,
                                    int32_t layout) {
  int32_t first = 0;
  int32_t end = length < 0 ? 0 : length;
  while (end > first && stored[end - 1] == ' ') {
    --end;
  }
  while (layout == kTaggedLayout && first < end && stored[first] == ' ') {
    ++first;
  }
  std::string trimmed(stored + first, static_cast<size_t>(end - first));
  std::u16string units;
  if (!DecodeAnsi(codePage, trimmed, &units)) {
    return trimmed;
  }
  // Each character takes its capital only where the code page has one, as the
  // system's upper case of ANSI text does.
  for (char16_t& unit : units) {
    char16_t upper = UpperCaseUnit(unit);
    std::string encoded;
    if (upper != unit && EncodeAnsi(codePage, std::u16string(1, upper), &encoded)) {
      unit = upper;
    }
  }
  std::string normalised;
  return EncodeAnsi(codePage, units, &normalised) ? normalised : trimmed;
}

bool IsSafeNameInCodePage(int codePage, const std::string& name) {
  std::u16string units;
  return DecodeAnsi(codePage, name, &units) &&
         IsSafeEntryName(units.data(), static_cast<int32_t>(units.size()));
}

std::string ShownHostName(const std::string& utf8) {
  std::u16string units;
  if (!Utf8ToUtf16(utf8, &units)) {
    return PrintableName(utf8);
  }
  std::string shown;
  for (char c : utf8) {
    uint8_t byte = static_cast<uint8_t>(c);
    shown += byte < 0x20 || byte == 0x7F || c == '\\' ? PrintableName(&c, 1) : std::string(1, c);
  }
  return shown;
}

std::string ShownName(const std::string& ansi) {
  std::string utf8;
  return AnsiToHostName(TargetCodePage(), ansi, &utf8) ? ShownHostName(utf8) : PrintableName(ansi);
}
