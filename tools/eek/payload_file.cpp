// The payload of eek installer as an open file (payload_file.h).
#include "tools/eek/payload_file.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include <vector>

#include "archive/crc32.h"
#include "peimage/resource_tree.h"
#include "tools/eek/archive_check.h"
#include "tools/eek/buffered_file.h"
#include "tools/eek/host_path.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/installed_names.h"
#include "tools/eek/messages.h"
#include "tools/eek/output_file.h"
#include "tools/eek/pack_files.h"
#include "tools/eek/pack_inputs.h"

namespace fs = std::filesystem;

const int64_t kCopyPieceSize = int64_t{1} << 20;

namespace {

const char kUnsoundPayloadProblem[] =
    "not a sound archive; the installer would show \"Payload Damaged!\" or unpack it wrong; "
    "nothing was written";

// Adds the bytes that follow the ones measured so far.
void Measure(PayloadFile* payload, const uint8_t* bytes, size_t size) {
  payload->crc = UpdateCrc32(payload->crc, bytes, size);
  AddToPeChecksum(&payload->sum, bytes, size);
}

// Takes the payload's size; false after reporting one no installer can carry.
bool TakeSize(PayloadFile* payload) {
  payload->size = FileSize(payload->file.fd.get());
  if (payload->size < 0) {
    ReportProblem(payload->path + ": " + LastErrorText());
    return false;
  }
  if (payload->size == 0) {
    ReportProblem(payload->path + ": an empty archive; the installer would unpack nothing");
    return false;
  }
  if (payload->size >= static_cast<int64_t>(kResourceSizeLimit)) {
    ReportProblem(payload->path + ": 2 GiB or larger; the payload must stay below 2 GiB");
    return false;
  }
  return true;
}

// Reads the payload from its byte from on to its end in pieces, giving each
// to take; false with the reason in error.
bool ReadPiecesFrom(const PayloadFile& payload, int64_t from,
                    const std::function<bool(const uint8_t*, size_t, std::string*)>& take,
                    std::string* error) {
  int fd = payload.file.fd.get();
  if (!SeekFile(fd, from)) {
    *error = payload.path + ": " + LastErrorText();
    return false;
  }
  std::vector<uint8_t> piece(static_cast<size_t>(kCopyPieceSize));
  for (int64_t done = from; done < payload.size;) {
    int64_t want = std::min(kCopyPieceSize, payload.size - done);
    int64_t got = ReadFileBytes(fd, piece.data(), want);
    if (got != want) {
      *error = payload.path + ": " +
               (got < 0 ? LastErrorText() : std::string("the file changed while it was read"));
      return false;
    }
    if (!take(piece.data(), static_cast<size_t>(got), error)) {
      return false;
    }
    done += got;
  }
  return true;
}

// Measures the payload's bytes from measuredUpTo on, reading them from the
// file; false after reporting.
bool MeasureRest(PayloadFile* payload, int64_t measuredUpTo) {
  std::string error;
  bool read = ReadPiecesFrom(
      *payload, measuredUpTo,
      [payload](const uint8_t* bytes, size_t size, std::string*) {
        Measure(payload, bytes, size);
        return true;
      },
      &error);
  if (!read) {
    ReportProblem(error);
  }
  return read;
}

}  // namespace

bool ReadPayloadPieces(const PayloadFile& payload,
                       const std::function<bool(const uint8_t*, size_t, std::string*)>& take,
                       std::string* error) {
  return ReadPiecesFrom(payload, 0, take, error);
}

bool PackPayload(const InstallerRequest& request, PayloadFile* payload, int64_t* totalSize) {
  std::vector<PackInput> files;
  if (!CollectPackInputs(request.inputs, request.codePage, &files) ||
      !CheckInstallerPayload(files, request.allowNoSetup)) {
    return false;
  }
  for (const PackInput& file : files) {
    if (IsOutputOneOf(request.outputPath, file.path, "a file being packed")) {
      return false;
    }
  }
  // Beside the installer, on its disk; an output that is a device or a pipe
  // has no folder of its own for it, and the temporary folder takes it.
  std::error_code fsError;
  fs::file_status status = fs::status(HostPath(request.outputPath), fsError);
  fs::path folder = fs::exists(status) && !fs::is_regular_file(status)
                        ? fs::temp_directory_path(fsError)
                        : HostPath(request.outputPath).parent_path();
  std::string archivePath = HostPathText(folder / "eek-payload.eek");
  std::string error;
  if (!CreateTempFile(archivePath, TempFileUse::kReadOnlyByTool, &payload->file, &error)) {
    ReportProblem(archivePath + ": cannot create the payload archive: " + error);
    return false;
  }
  payload->path = payload->file.shown;
  BufferedFile buffered;
  BinaryFile archive;
  AttachBufferedWriter(&buffered, payload->file.fd.get(), &archive, true);
  int64_t archiveSize = 0;
  bool packed = PackFiles(files, &archive, totalSize, &archiveSize);
  CloseBinaryFile(&archive);
  if (buffered.failed) {
    ReportProblem(payload->path + ": " + buffered.error);
    packed = false;
  }
  // The archive writer goes back to finish its headers: the payload is
  // measured once it is whole.
  return packed && TakeSize(payload) && MeasureRest(payload, 0);
}

bool OpenCarriedArchive(const std::string& archivePath, PayloadFile* payload) {
  std::string error;
  payload->path = archivePath;
  payload->file.fd = FileDescriptor(OpenInputFile(archivePath, &error));
  if (!payload->file.fd.valid()) {
    ReportProblem(archivePath + ": " + error);
    ReportProblem(archivePath + ": " + kUnsoundPayloadProblem);
    return false;
  }
  return TakeSize(payload);
}

bool TestCarriedArchive(bool allowNoSetup, int codePage, PayloadFile* payload) {
  // The test reads the archive in order; the bytes it reads are the ones
  // measured, and the rest (none in a sound archive) is read after it.
  OpenArchive archive;
  archive.buffered.seeRead = [payload](const uint8_t* bytes, size_t size) {
    Measure(payload, bytes, size);
  };
  ArchiveTally tally;
  if (!BeginWalkOfOpenFile(payload->file.fd.get(), payload->path, codePage, &archive)) {
    ReportProblem(payload->path + ": " + kUnsoundPayloadProblem);
    return false;
  }
  std::string damage = TestArchive(&archive, &tally);
  if (!damage.empty()) {
    ReportProblem(payload->path + ": " + damage);
    ReportProblem(payload->path + ": " + kUnsoundPayloadProblem);
    return false;
  }
  if (!allowNoSetup && !tally.hasSetup) {
    ReportProblem(payload->path + ": " + kNoSetupProblem);
    return false;
  }
  return MeasureRest(payload, archive.buffered.seenUpTo);
}
