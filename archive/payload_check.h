// The payload check record: a small resource beside the payload
// (contract/installer_contract.h names both) that holds the payload's length and CRC-32, and the
// code page its entry names are written in. The installer compares the
// payload it loaded with it before writing anything; installers without the
// record unpack their payload unchecked, as before.
//
// All numbers are little-endian:
//   offset 0   4 bytes  tag "EEKC"
//   offset 4   4 bytes  version: 2 (1 in records written before the code page)
//   offset 8   4 bytes  payload length in bytes
//   offset 12  4 bytes  CRC-32 of the payload (archive/crc32.h: as zip and gzip)
//   offset 16  4 bytes  version 2 only: the Windows code page of the entry
//                       names (1252, 932, ...)
// A version 1 record is exactly 16 bytes, a version 2 record exactly 20; a
// record of any other size, tag or version is malformed and counts as a
// payload that does not match.
#pragma once

#include <cstddef>
#include <cstdint>

enum : uint32_t {
  kPayloadCheckRecordSize = 20,  // the record written: version 2
  kPayloadCheckVersion = 2,
  kPayloadCheckRecordV1Size = 16,  // version 1, still read
  kPayloadCheckVersion1 = 1,
};

struct PayloadCheckRecord {
  uint32_t payloadLength;
  uint32_t payloadCrc;
  uint32_t codePage;  // 0 in a version 1 record: the names' code page is not recorded
};

enum PayloadCheckResult : int32_t {
  kPayloadMatchesRecord = 0,
  kPayloadRecordMalformed,
  kPayloadLengthDiffers,
  kPayloadCrcDiffers,
};

// Writes the version 2 record of a payload of payloadLength bytes whose CRC-32
// is payloadCrc (UpdateCrc32 over the whole payload) and whose entry names are
// in codePage to record.
void StorePayloadCheckRecord(uint32_t payloadLength, uint32_t payloadCrc, uint32_t codePage,
                             uint8_t record[kPayloadCheckRecordSize]);

// Reads the recordSize bytes at bytes (null when recordSize is 0), a version 1
// or a version 2 record; false when they are not a well-formed record.
bool ReadPayloadCheckRecord(const uint8_t* bytes, size_t recordSize, PayloadCheckRecord* record);

// Compares the payload with the record: the length first, then the CRC-32
// (not computed when the record is malformed or the length differs).
PayloadCheckResult CheckPayload(const uint8_t* payload, size_t payloadLength,
                                const uint8_t* recordBytes, size_t recordSize);
