#include "tools/eek/payload_check_resource.h"

#include <cstdio>

#include "archive/payload_check.h"
#include "contract/installer_contract.h"
#include "tools/eek/code_page.h"
#include "tools/eek/messages.h"

PeResourceId PayloadCheckResourceType() {
  return NumberedResourceId(kResourceTypeRcData);
}

PeResourceId PayloadCheckResourceName() {
  return NamedResourceId(kPayloadCheckResourceName);
}

std::vector<uint8_t> MakePayloadCheckRecordOf(uint32_t length, uint32_t crc, int codePage) {
  std::vector<uint8_t> record(kPayloadCheckRecordSize);
  StorePayloadCheckRecord(length, crc, static_cast<uint32_t>(codePage), record.data());
  return record;
}

bool SetPayloadCheckResourceOf(PeResourceTree* tree, uint16_t language, uint32_t length,
                               uint32_t crc, int codePage, std::string* error) {
  return SetResource(tree, PayloadCheckResourceType(), PayloadCheckResourceName(), language,
                     MakePayloadCheckRecordOf(length, crc, codePage), error);
}

std::string Crc32Text(uint32_t crc) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", crc);
  return text;
}

PayloadCheckReport DescribePayloadCheck(const PeResourceTree& tree, uint64_t payloadLength,
                                        uint32_t payloadCrc) {
  PayloadCheckReport report{false, "", "", 0};
  const std::string shownId = "RCDATA \"" + std::string(kPayloadCheckResourceName) + "\"";
  int index = FindPeResource(tree, PayloadCheckResourceType(), PayloadCheckResourceName());
  if (index < 0) {
    report.description =
        "payload check: absent (no " + shownId + "); the installer unpacks the payload unchecked";
    return report;
  }
  report.present = true;
  const std::vector<uint8_t>& bytes = tree.resources[index].data;
  std::string payloadText =
      std::to_string(payloadLength) + " bytes, CRC-32 " + Crc32Text(payloadCrc);
  PayloadCheckRecord record;
  if (!ReadPayloadCheckRecord(bytes.data(), bytes.size(), &record)) {
    report.description = "payload check: " + shownId + " malformed (" +
                         std::to_string(bytes.size()) + " bytes, not a version 1 or 2 record)";
    report.problem = "the payload check record is malformed";
  } else {
    std::string recordText =
        std::to_string(record.payloadLength) + " bytes, CRC-32 " + Crc32Text(record.payloadCrc);
    report.codePage = record.codePage;
    if (record.codePage != 0) {
      recordText += ", names in code page " + std::to_string(record.codePage);
    }
    if (record.payloadLength == payloadLength && record.payloadCrc == payloadCrc) {
      report.description = "payload check: " + shownId + ", " + recordText + ": matches";
    } else {
      report.description = "payload check: " + shownId + ", " + recordText +
                           ": does NOT match the payload (" + payloadText + ")";
      report.problem = "the payload does not match its check record";
    }
  }
  if (!report.problem.empty()) {
    report.problem += "; the installer will show \"Payload Damaged!\" and unpack nothing";
  }
  return report;
}

int NamesCodePage(const PayloadCheckReport& report, int codePage) {
  int recorded = static_cast<int>(report.codePage);
  if (report.codePage == 0 || recorded == codePage) {
    return codePage;
  }
  if (!IsKnownCodePage(recorded)) {
    ReportProblem("warning: the check record names code page " + std::to_string(report.codePage) +
                  ", which eek does not know; names are read in code page " +
                  std::to_string(codePage));
    return codePage;
  }
  return recorded;
}
