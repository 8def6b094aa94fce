// Problem lines and printable names.
#include "tools/eek/messages.h"

#include <cstdio>

void ReportProblem(const std::string& text) {
  std::fprintf(stderr, "eek: %s\n", text.c_str());
}

std::string PrintableName(const char* name, int32_t length) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (int32_t i = 0; i < length; i++) {
    uint8_t c = static_cast<uint8_t>(name[i]);
    if (c < 0x20 || c > 0x7E || c == '\\') {
      text += "\\x";
      text += kHex[c >> 4];
      text += kHex[c & 15];
    } else {
      text += static_cast<char>(c);
    }
  }
  return text;
}

std::string PrintableName(const std::string& name) {
  return PrintableName(name.data(), static_cast<int32_t>(name.size()));
}

std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (char c : text) {
    unsigned char byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      json += '\\';
      json += c;
    } else if (byte < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
      json += escaped;
    } else {
      json += c;
    }
  }
  return json + "\"";
}
