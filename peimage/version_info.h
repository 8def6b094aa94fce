// The version resource (RT_VERSION, VS_VERSIONINFO) that Windows' file
// properties show: a fixed record of the file and product versions, and texts
// in one string table of US English in UTF-16 (language 0x0409, code page
// 1200), with the translation that names that table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The texts, in UTF-8; an empty one is left out. The versions are "a.b.c.d"
// (one to four numbers from 0 to 65535; missing ones are 0) and give the
// fixed record's numbers as well as the texts; an absent one is 0.0.0.0 there.
struct VersionInfoFields {
  std::string productName;
  std::string companyName;
  std::string fileVersion;
  std::string productVersion;
  std::string fileDescription;
  std::string legalCopyright;
};

const uint16_t kVersionInfoLanguage = 0x0409;
const uint16_t kVersionInfoCodePage = 1200;  // UTF-16

// Whether any text is given.
bool HasVersionInfo(const VersionInfoFields& fields);

// Reads "a.b.c.d" into parts; false for anything else.
bool ParseVersionNumber(const std::string& text, uint16_t parts[4]);

// The resource's bytes; false with a message in error for a version that is
// not "a.b.c.d", a text that is not UTF-8, or a record of 64 KiB or more.
bool BuildVersionInfo(const VersionInfoFields& fields, std::vector<uint8_t>* bytes,
                      std::string* error);
