// Entry names in the ANSI code page of the machines the installer will run on.
// The archive stores names as bytes of that code page; eek turns host names
// (UTF-8) into it when packing and back when listing and extracting, and judges
// them as the installer does: normalised with the code page's upper case and
// the safe-name rule applied to their UTF-16 form.
#pragma once

#include <cstdint>
#include <string>

#include "peimage/utf16_text.h"

// The code page of names when --code-page names none.
const int kDefaultCodePage = 1252;

// The code pages eek accepts: 1250 to 1258 and the double-byte 932, 936, 949
// and 950.
bool IsKnownCodePage(int codePage);

// The platform's conversions. Decoding fails on bytes that are not a valid
// sequence of the code page, encoding on a character the code page lacks (no
// best-fit replacement).
bool DecodeAnsi(int codePage, const std::string& bytes, std::u16string* units);
bool EncodeAnsi(int codePage, const std::u16string& units, std::string* bytes);
// The Unicode simple upper case of one UTF-16 unit (surrogates unchanged).
char16_t UpperCaseUnit(char16_t unit);

// A host name (UTF-8) in the code page; false when it cannot be represented.
bool HostNameToAnsi(int codePage, const std::string& hostName, std::string* ansi);
// An archive name back as UTF-8; false when the bytes are not valid in the
// code page.
bool AnsiToHostName(int codePage, const std::string& ansi, std::string* hostName);

// The name the installer uses for an entry's trimmed name (ArchiveEntry,
// TrimEntryName): every character replaced by its upper case where the code
// page has that. A name whose bytes are not valid in the code page is left as
// it is.
std::string UpperCaseNameInCodePage(int codePage, const std::string& name);

// The installer's safe-name rule on a normalised name in the code page; a name
// the code page cannot decode is refused.
bool IsSafeNameInCodePage(int codePage, const std::string& name);

// A name in the code page as the terminal shows it: UTF-8, with control
// characters and backslashes written as \xNN; a name the code page cannot
// decode is shown by PrintableName.
std::string ShownName(int codePage, const std::string& ansi);
// The same for a host name (UTF-8); not UTF-8 at all, it is escaped whole.
std::string ShownHostName(const std::string& utf8);
