// eek checksum: the length and CRC-32 of a payload archive, as the installer
// checks them; with a record path, also the payload check record that an
// installer linked at build time carries as its RCDATA "PAYLOADCHECK".
#include <CLI/CLI.hpp>

#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "archive/crc32.h"
#include "archive/payload_check.h"
#include "contract/installer_contract.h"
#include "tools/eek/code_page.h"
#include "tools/eek/commands.h"
#include "tools/eek/host_path.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/installer_payload.h"
#include "tools/eek/messages.h"
#include "tools/eek/payload_check_resource.h"
#include "tools/eek/whole_file.h"

namespace {

const int64_t kReadPiece = int64_t{1} << 20;

// Reads the file through the CRC; false after reporting.
bool ChecksumFile(const std::string& path, int64_t* length, uint32_t* crc) {
  std::string error;
  int fd = OpenInputFile(path, &error);
  if (fd < 0) {
    ReportProblem(path + ": " + error);
    return false;
  }
  std::vector<uint8_t> piece(kReadPiece);
  *length = 0;
  *crc = 0;
  int64_t got = 0;
  while ((got = ReadFileBytes(fd, piece.data(), kReadPiece)) > 0) {
    *crc = UpdateCrc32(*crc, piece.data(), static_cast<size_t>(got));
    *length += got;
  }
  error = LastErrorText();
  CloseFile(fd);
  if (got < 0) {
    ReportProblem(path + ": " + error);
    return false;
  }
  return true;
}

}  // namespace

int RunChecksumCommand(const std::string& archivePath, const std::string& recordPath,
                       int codePage) {
  int64_t length = 0;
  uint32_t crc = 0;
  std::string shown = archivePath;
  if (StartsWithMz(archivePath)) {
    // An installer: its payload's, as the installer and --check see it.
    InstallerPayload payload;
    if (!ReadInstallerPayload(archivePath, codePage, &payload)) {
      return 1;
    }
    codePage = payload.namesCodePage;
    length = payload.size;
    crc = payload.crc;
    shown = archivePath + " (payload)";
  } else if (!ChecksumFile(archivePath, &length, &crc)) {
    return 1;
  }
  std::printf("%s: %" PRId64 " bytes, CRC-32 %s\n", shown.c_str(), length, Crc32Text(crc).c_str());
  if (recordPath.empty()) {
    return 0;
  }
  std::error_code fsError;
  if (std::filesystem::equivalent(HostPath(archivePath), HostPath(recordPath), fsError)) {
    ReportProblem(recordPath + ": is the archive being checksummed; nothing was written");
    return 1;
  }
  if (length >= kArchiveSizeLimit) {
    ReportProblem(archivePath + ": 2 GiB or larger; the payload must stay below 2 GiB");
    return 1;
  }
  uint8_t record[kPayloadCheckRecordSize];
  StorePayloadCheckRecord(static_cast<uint32_t>(length), crc, static_cast<uint32_t>(codePage),
                          record);
  return WriteFileReplacing(recordPath, record, kPayloadCheckRecordSize) ? 0 : 1;
}

Command AddChecksumCommand(CLI::App* app) {
  struct Options {
    std::string archive;
    std::string record;
  };
  auto options = std::make_shared<Options>();
  CLI::App* checksum = app->add_subcommand(
      "checksum", "Prints an archive's length and CRC-32 as installers check them");
  checksum->footer(
      "Prints the length and CRC-32 (the checksum of zip and gzip) of a payload archive, as the "
      "installer checks them before it unpacks anything; of an installer, those of its payload. "
      "--record writes the 16-byte payload check record that eek installer puts beside the "
      "payload as RCDATA \"PAYLOADCHECK\", for installers linked from a resource script.");
  checksum->add_option("ARCHIVE", options->archive, "The archive (or installer)")->required();
  checksum->add_option("--record", options->record, "The payload check record to write");
  return Command{checksum, [options](int codePage) {
                   return RunChecksumCommand(options->archive, options->record, codePage);
                 }};
}
