#include "archive/payload_check.h"

#include "archive/crc32.h"
#include "archive/little_endian.h"

namespace {

const uint8_t kRecordTag[4] = {'E', 'E', 'K', 'C'};

}  // namespace

void StorePayloadCheckRecord(uint32_t payloadLength, uint32_t payloadCrc, uint32_t codePage,
                             uint8_t record[kPayloadCheckRecordSize]) {
  for (int i = 0; i < 4; ++i) {
    record[i] = kRecordTag[i];
  }
  WriteLe32(record + 4, kPayloadCheckVersion);
  WriteLe32(record + 8, payloadLength);
  WriteLe32(record + 12, payloadCrc);
  WriteLe32(record + 16, codePage);
}

bool ReadPayloadCheckRecord(const uint8_t* bytes, size_t recordSize, PayloadCheckRecord* record) {
  if (bytes == nullptr || recordSize < kPayloadCheckRecordV1Size) {
    return false;
  }
  for (int i = 0; i < 4; ++i) {
    if (bytes[i] != kRecordTag[i]) {
      return false;
    }
  }
  uint32_t version = ReadLe32(bytes + 4);
  bool version1 = version == kPayloadCheckVersion1 && recordSize == kPayloadCheckRecordV1Size;
  bool version2 = version == kPayloadCheckVersion && recordSize == kPayloadCheckRecordSize;
  if (!version1 && !version2) {
    return false;
  }
  record->payloadLength = ReadLe32(bytes + 8);
  record->payloadCrc = ReadLe32(bytes + 12);
  record->codePage = version2 ? ReadLe32(bytes + 16) : 0;
  return true;
}

PayloadCheckResult CheckPayload(const uint8_t* payload, size_t payloadLength,
                                const uint8_t* recordBytes, size_t recordSize) {
  PayloadCheckRecord record;
  if (!ReadPayloadCheckRecord(recordBytes, recordSize, &record)) {
    return kPayloadRecordMalformed;
  }
  if (payloadLength != record.payloadLength || (payload == nullptr && payloadLength != 0)) {
    return kPayloadLengthDiffers;
  }
  if (UpdateCrc32(0, payload, payloadLength) != record.payloadCrc) {
    return kPayloadCrcDiffers;
  }
  return kPayloadMatchesRecord;
}
