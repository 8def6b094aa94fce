// Fuzz target: the fuzz input is a PE image (seeded with the shipped stubs).
// It is parsed, its resources read, a payload set as RCDATA 10 and a new
// resource section stored, as eek installer does. Checked, besides the
// sanitizers:
//   - the reader and the update fail cleanly (a message, no output) or
//     succeed; a refused update leaves the output empty;
//   - every stored image parses back, its resources read back, and they are
//     exactly the resources set: the payload intact under RCDATA 10, every
//     other resource with its type, name, language, code page and bytes as
//     they were;
//   - beside the payload a check record (RCDATA "PAYLOADCHECK") is stored,
//     the payload's own or one with some of its bytes changed by the input:
//     read back, the payload matches it exactly when it is the payload's own
//     record, and never crashes the check whatever it holds (cut, grown or
//     changed).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "archive/crc32.h"
#include "archive/payload_check.h"
#include "contract/installer_contract.h"
#include "fuzz/fuzz_check.h"
#include "peimage/pe_image.h"
#include "peimage/resource_reader.h"
#include "peimage/resource_section_update.h"
#include "peimage/resource_tree.h"

namespace {

bool SameResource(const PeResource& a, const PeResource& b) {
  return SameResourceId(a.type, b.type) && SameResourceId(a.name, b.name) &&
         a.language == b.language && a.codePage == b.codePage && a.data == b.data;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (size_t{1} << 20)) {
    return 0;
  }
  PeImage image;
  std::string error;
  if (!ParsePeImage(std::vector<uint8_t>(data, data + size), &image, &error)) {
    FUZZ_CHECK(!error.empty(), "a refused image is explained");
    return 0;
  }
  PeResourceTree tree;
  if (!ReadResourceTree(image, &tree, &error)) {
    FUZZ_CHECK(!error.empty(), "a refused resource tree is explained");
    return 0;
  }
  // A payload of up to 300 bytes taken from the input's end, so that its size
  // and alignment vary.
  size_t payloadSize = size == 0 ? 0 : data[0] + size % 45;
  payloadSize = std::min(payloadSize, size);
  std::vector<uint8_t> payload(data + size - payloadSize, data + size);
  const PeResourceId type = NumberedResourceId(kResourceTypeRcData);
  const PeResourceId name = NumberedResourceId(kPayloadResourceId);
  FUZZ_CHECK(SetResource(&tree, type, name, ChooseResourceLanguage(tree), payload, &error),
             "a small payload is always taken");
  // The check record: the payload's own, then changed at the positions and
  // by the values of the input's first bytes (in its checked fields: the code
  // page that follows them is no part of the check), and cut or grown by its
  // size.
  uint8_t own[kPayloadCheckRecordSize];
  StorePayloadCheckRecord(static_cast<uint32_t>(payload.size()),
                          UpdateCrc32(0, payload.data(), payload.size()), 1252, own);
  std::vector<uint8_t> record(own, own + kPayloadCheckRecordSize);
  for (size_t i = 1; i + 1 < std::min<size_t>(size, 7); i += 2) {
    record[data[i] % kPayloadCheckRecordV1Size] ^= data[i + 1];
  }
  if (size % 7 == 1) {
    record.resize(size % kPayloadCheckRecordSize);
  } else if (size % 7 == 2) {
    record.push_back(data[size - 1]);
  }
  const PeResourceId checkName = NamedResourceId(kPayloadCheckResourceName);
  FUZZ_CHECK(SetResource(&tree, type, checkName, ChooseResourceLanguage(tree), record, &error),
             "a check record is always taken");
  std::vector<uint8_t> output;
  if (!StoreResourceSection(image, tree, &output, &error)) {
    FUZZ_CHECK(!error.empty() && output.empty(), "a refused update writes nothing");
    return 0;
  }
  PeImage stored;
  FUZZ_CHECK(ParsePeImage(output, &stored, &error), "the stored image parses back");
  PeResourceTree readBack;
  FUZZ_CHECK(ReadResourceTree(stored, &readBack, &error), "its resources read back");
  int index = FindPeResource(readBack, type, name);
  FUZZ_CHECK(index >= 0 && readBack.resources[index].data == payload, "the payload is intact");
  int checkIndex = FindPeResource(readBack, type, checkName);
  FUZZ_CHECK(checkIndex >= 0, "the check record is there");
  const std::vector<uint8_t>& storedRecord = readBack.resources[checkIndex].data;
  bool ownRecord = storedRecord == std::vector<uint8_t>(own, own + kPayloadCheckRecordSize);
  PayloadCheckResult checked =
      CheckPayload(payload.data(), payload.size(), storedRecord.data(), storedRecord.size());
  FUZZ_CHECK((checked == kPayloadMatchesRecord) == ownRecord,
             "the payload matches exactly its own record");
  SortResources(&tree);
  SortResources(&readBack);
  FUZZ_CHECK(readBack.resources.size() == tree.resources.size(), "as many resources as were set");
  for (size_t i = 0; i < tree.resources.size(); ++i) {
    FUZZ_CHECK(SameResource(readBack.resources[i], tree.resources[i]),
               "every resource as it was set, byte for byte");
  }
  return 0;
}
