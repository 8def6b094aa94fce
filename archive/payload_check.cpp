#include "archive/payload_check.h"

#include "archive/crc32.h"

namespace {

const uint8_t kRecordTag[4] = {'E', 'E', 'K', 'C'};

void StoreLittleEndian32(uint32_t value, uint8_t* bytes) {
  for (int i = 0; i < 4; ++i) {
    bytes[i] = static_cast<uint8_t>(value >> (8 * i));
  }
}

uint32_t LoadLittleEndian32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

}  // namespace

void StorePayloadCheckRecord(uint32_t payloadLength, uint32_t payloadCrc,
                             uint8_t record[kPayloadCheckRecordSize]) {
  for (int i = 0; i < 4; ++i) {
    record[i] = kRecordTag[i];
  }
  StoreLittleEndian32(kPayloadCheckVersion, record + 4);
  StoreLittleEndian32(payloadLength, record + 8);
  StoreLittleEndian32(payloadCrc, record + 12);
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
  if (LoadLittleEndian32(bytes + 4) != kPayloadCheckVersion) {
    return false;
  }
  record->payloadLength = LoadLittleEndian32(bytes + 8);
  record->payloadCrc = LoadLittleEndian32(bytes + 12);
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
