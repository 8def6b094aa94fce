#include "archive/payload_check.h"

#include "archive/crc32.h"
#include "archive/little_endian.h"

namespace {

const uint8_t kRecordTag[4] = {'E', 'E', 'K', 'C'};

}  // namespace

void StorePayloadCheckRecord(uint32_t payloadLength, uint32_t payloadCrc,
                             uint8_t record[kPayloadCheckRecordSize]) {
  for (int i = 0; i < 4; ++i) {
    record[i] = kRecordTag[i];
  }
  WriteLe32(record + 4, kPayloadCheckVersion);
  WriteLe32(record + 8, payloadLength);
  WriteLe32(record + 12, payloadCrc);
}

bool ReadPayloadCheckRecord(const uint8_t* bytes, size_t recordSize, PayloadCheckRecord* record) {
  if (bytes == nullptr || recordSize != kPayloadCheckRecordSize) {
    return false;
  }
  for (int i = 0; i < 4; ++i) {
    if (bytes[i] != kRecordTag[i]) {
      return false;
    }
  }
  if (ReadLe32(bytes + 4) != kPayloadCheckVersion) {
    return false;
  }
  record->payloadLength = ReadLe32(bytes + 8);
  record->payloadCrc = ReadLe32(bytes + 12);
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
