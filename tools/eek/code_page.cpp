// Code-page names: UTF-8 and UTF-16, normalisation and the safe-name rule.
#include "tools/eek/code_page.h"

#include "archive/entry_name.h"
#include "tools/eek/messages.h"

bool IsKnownCodePage(int codePage) {
  return (codePage >= 1250 && codePage <= 1258) || codePage == 932 || codePage == 936 ||
         codePage == 949 || codePage == 950;
}

bool HostNameToAnsi(int codePage, const std::string& hostName, std::string* ansi) {
  std::u16string units;
  return Utf8ToUtf16(hostName, &units) && EncodeAnsi(codePage, units, ansi);
}

bool AnsiToHostName(int codePage, const std::string& ansi, std::string* hostName) {
  std::u16string units;
  return DecodeAnsi(codePage, ansi, &units) && Utf16ToUtf8(units, hostName);
}

std::string UpperCaseNameInCodePage(int codePage, const std::string& name) {
  std::u16string units;
  if (!DecodeAnsi(codePage, name, &units)) {
    return name;
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
  return EncodeAnsi(codePage, units, &normalised) ? normalised : name;
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

std::string ShownName(int codePage, const std::string& ansi) {
  std::string utf8;
  return AnsiToHostName(codePage, ansi, &utf8) ? ShownHostName(utf8) : PrintableName(ansi);
}
