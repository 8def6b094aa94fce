// Code-page conversions through the C library's iconv, and the Unicode upper
// case of its UTF-8 locale.
#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cerrno>
#include <vector>

#include "tools/eek/code_page.h"

namespace {

// Converts count bytes from one iconv encoding to another; false on any
// invalid or unrepresentable input.
bool Convert(const std::string& from, const std::string& to, const char* bytes, size_t count,
             std::vector<char>* out) {
  iconv_t converter = iconv_open(to.c_str(), from.c_str());
  if (converter == reinterpret_cast<iconv_t>(-1)) {
    return false;
  }
  out->assign(count * 4 + 16, 0);
  char* in = const_cast<char*>(bytes);
  size_t inLeft = count;
  char* put = out->data();
  size_t outLeft = out->size();
  bool converted = iconv(converter, &in, &inLeft, &put, &outLeft) != static_cast<size_t>(-1) &&
                   iconv(converter, nullptr, nullptr, &put, &outLeft) != static_cast<size_t>(-1);
  iconv_close(converter);
  out->resize(out->size() - outLeft);
  return converted && inLeft == 0;
}

std::string IconvName(int codePage) {
  return "CP" + std::to_string(codePage);
}

}  // namespace

bool DecodeAnsi(int codePage, const std::string& bytes, std::u16string* units) {
  std::vector<char> out;
  if (!IsKnownCodePage(codePage) ||
      !Convert(IconvName(codePage), "UTF-16LE", bytes.data(), bytes.size(), &out)) {
    return false;
  }
  units->clear();
  for (size_t i = 0; i + 1 < out.size(); i += 2) {
    units->push_back(static_cast<char16_t>(static_cast<uint8_t>(out[i]) |
                                           (static_cast<uint8_t>(out[i + 1]) << 8)));
  }
  return true;
}

bool EncodeAnsi(int codePage, const std::u16string& units, std::string* bytes) {
  std::vector<char> in;
  for (char16_t unit : units) {
    in.push_back(static_cast<char>(unit & 0xFF));
    in.push_back(static_cast<char>(unit >> 8));
  }
  std::vector<char> out;
  if (!IsKnownCodePage(codePage) ||
      !Convert("UTF-16LE", IconvName(codePage), in.data(), in.size(), &out)) {
    return false;
  }
  bytes->assign(out.begin(), out.end());
  return true;
}

char16_t UpperCaseUnit(char16_t unit) {
  static locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  if (unit >= 0xD800 && unit <= 0xDFFF) {
    return unit;
  }
  if (unicode == static_cast<locale_t>(nullptr)) {
    return (unit >= u'a' && unit <= u'z') ? static_cast<char16_t>(unit - 0x20) : unit;
  }
  wint_t upper = towupper_l(unit, unicode);
  return upper <= 0xFFFF ? static_cast<char16_t>(upper) : unit;
}
