// The payload eek installer writes into the stub, as an open file read in
// pieces, never held whole: the inputs packed into a temporary archive, or an
// --archive carried as it is, opened once, then tested, measured and copied
// through that one opening.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "peimage/pe_checksum.h"
#include "tools/eek/commands.h"
#include "tools/eek/temp_file.h"

struct PayloadFile {
  std::string path;  // as shown in messages
  // The packed archive (temp_file.h), or the carried archive, opened for
  // reading, which has no name of eek's to remove.
  TempFile file;
  // Its length, CRC-32 and the PE checksum sum of its bytes, once measured.
  int64_t size = 0;
  uint32_t crc = 0;
  PeChecksumSum sum{0, 0};
};

// Packs the inputs into a temporary archive beside the output (or in the
// temporary folder for an output that is a device or a pipe) and measures it;
// totalSize receives the bytes packed. The output may be none of the files
// packed. False after reporting.
bool PackPayload(const InstallerRequest& request, PayloadFile* payload, int64_t* totalSize);

// Opens the --archive and takes its size, which must be within what a payload
// may be; false after reporting.
bool OpenCarriedArchive(const std::string& archivePath, PayloadFile* payload);
// Tests the open archive as eek test does, its names in codePage (it must
// decode soundly and hold SETUP.EXE unless allowNoSetup) and measures it, in
// one pass over its bytes; false after reporting.
bool TestCarriedArchive(bool allowNoSetup, int codePage, PayloadFile* payload);

// Reads the whole payload again from its start in pieces, giving each to take;
// false with the reason in error (a payload that changed its length included).
bool ReadPayloadPieces(const PayloadFile& payload,
                       const std::function<bool(const uint8_t*, size_t, std::string*)>& take,
                       std::string* error);
extern const int64_t kCopyPieceSize;
