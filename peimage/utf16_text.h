// UTF-8 and UTF-16 conversions (Unicode scalar values only: overlong forms,
// surrogates encoded in UTF-8 and unpaired surrogates are malformed).
#pragma once

#include <string>

// False for malformed input.
bool Utf8ToUtf16(const std::string& utf8, std::u16string* units);
bool Utf16ToUtf8(const std::u16string& units, std::string* utf8);
