// The payload check record as a resource of an installer: written beside the
// payload by eek installer, described by eek installer --check.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "peimage/resource_tree.h"

// RCDATA "PAYLOADCHECK".
PeResourceId PayloadCheckResourceType();
PeResourceId PayloadCheckResourceName();

// The record of a payload of length bytes whose CRC-32 is crc, naming the
// code page of its names.
std::vector<uint8_t> MakePayloadCheckRecordOf(uint32_t length, uint32_t crc, int codePage);

// Makes the record of a payload known by its length and CRC-32 (read from
// its file) the tree's one check record, in language.
bool SetPayloadCheckResourceOf(PeResourceTree* tree, uint16_t language, uint32_t length,
                               uint32_t crc, int codePage, std::string* error);

// What an installer whose resources are tree says about its payload: an empty
// problem when the record matches the payload or when there is none (the
// installer then unpacks the payload unchecked, as installers made before the
// record did); otherwise why the installer will refuse it. description is one
// line for the user in either case. codePage is the code page the record
// names the entries in, 0 when it names none (a version 1 record, or none).
struct PayloadCheckReport {
  bool present;
  std::string description;
  std::string problem;
  uint32_t codePage;
};
// The payload is known by its length and CRC-32 (read in pieces).
PayloadCheckReport DescribePayloadCheck(const PeResourceTree& tree, uint64_t payloadLength,
                                        uint32_t payloadCrc);

// The code page to read an installer's entry names in: the one its record
// names, which the installer uses whatever --code-page says, else codePage
// (with a warning when the record names one eek does not know).
int NamesCodePage(const PayloadCheckReport& report, int codePage);

// The CRC-32 as common tools print it: eight lower-case hex digits.
std::string Crc32Text(uint32_t crc);
