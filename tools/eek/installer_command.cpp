// eek installer: writes a payload archive into a copy of a prebuilt installer
// stub as its payload resource, with the payload check record beside it
// (archive/payload_check.h), so that a publisher makes an installer without a
// compiler; and --check, which describes an installer and tests the
// payload it carries. The payload is never held whole: packed into a
// temporary archive (or taken from --archive), it is read once for its length
// and checksums, then copied in pieces between the installer's laid-out head
// and tail. The installer is written under the tool's output rule
// (output_file.h) and read back before it takes its name.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>

#include "archive/crc32.h"
#include "contract/installer_contract.h"
#include "peimage/little_endian.h"
#include "peimage/pe_image.h"
#include "peimage/resource_reader.h"
#include "peimage/resource_section_update.h"
#include "peimage/version_info.h"
#include "tools/eek/archive_check.h"
#include "tools/eek/buffered_file.h"
#include "tools/eek/commands.h"
#include "tools/eek/file_descriptor.h"
#include "tools/eek/host_path.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/image_ceiling.h"
#include "tools/eek/installed_names.h"
#include "tools/eek/whole_file.h"
#include "tools/eek/installer_payload.h"
#include "tools/eek/output_file.h"
#include "tools/eek/temp_file.h"
#include "tools/eek/messages.h"
#include "tools/eek/pack_files.h"
#include "tools/eek/pack_inputs.h"
#include "tools/eek/payload_check_resource.h"
#include "tools/eek/sha256.h"

namespace fs = std::filesystem;

namespace {

const char kStubFileName[] = "OstrelTarvine64SetupStub.exe";
// Stubs are small programs; anything this large is not one.
const int64_t kStubSizeLimit = int64_t{256} << 20;

const PeResourceId kPayloadType = NumberedResourceId(kResourceTypeRcData);
const PeResourceId kPayloadName = NumberedResourceId(kPayloadResourceId);

std::string MachineText(uint16_t machine) {
  if (machine == kMachineI386) {
    return "i386";
  }
  if (machine == kMachineAmd64) {
    return "x86-64";
  }
  char text[32];
  std::snprintf(text, sizeof text, "machine 0x%04X", machine);
  return text;
}

std::string SubsystemText(uint16_t subsystem) {
  if (subsystem == kSubsystemWindowsGui) {
    return "Windows GUI subsystem";
  }
  if (subsystem == kSubsystemWindowsConsole) {
    return "console subsystem";
  }
  return "subsystem " + std::to_string(subsystem);
}

// Whether the file carries an Authenticode signature (a certificate table);
// verifying it is the signing tools' work.
std::string DescribeSignature(const PeImage& image) {
  PeDataDirectory certificates = DataDirectory(image, kCertificateDirectory);
  if (certificates.size == 0) {
    return "Authenticode signature: absent";
  }
  return "Authenticode signature: present (certificate table of " +
         std::to_string(certificates.size) + " bytes; not verified here)";
}

std::string FormatText(const PeImage& image) {
  return std::string(image.magic == kPe32Magic ? "PE32" : "PE32+") + " " +
         MachineText(image.machine) + ", " + SubsystemText(image.subsystem);
}

bool HasIconGroup(const PeResourceTree& tree) {
  return FindPeResource(tree, NumberedResourceId(kResourceTypeGroupIcon),
                        NamedResourceId(kIconGroupName)) >= 0;
}

// Reads and parses an executable with its resources; false after reporting.
bool LoadImage(const std::string& path, PeImage* image, PeResourceTree* tree,
               int64_t sizeLimit = kStubSizeLimit,
               const char* limitText = "256 MiB or larger; not an installer stub") {
  std::vector<uint8_t> bytes;
  if (!ReadFileWhole(path, sizeLimit, limitText, &bytes)) {
    return false;
  }
  std::string error;
  if (!ParsePeImage(std::move(bytes), image, &error) || !ReadResourceTree(*image, tree, &error)) {
    ReportProblem(path + ": " + error);
    return false;
  }
  return true;
}

// The stub must be an x86 Windows GUI program that carries the installer's
// icon group: anything else is the wrong file.
bool LoadStub(const std::string& path, PeImage* image, PeResourceTree* tree) {
  if (!LoadImage(path, image, tree)) {
    return false;
  }
  std::string problem;
  if (image->machine != kMachineI386 && image->machine != kMachineAmd64) {
    problem = "not an x86 program (" + MachineText(image->machine) + ")";
  } else if (image->subsystem != kSubsystemWindowsGui) {
    problem = "not a Windows GUI program (" + SubsystemText(image->subsystem) + ")";
  } else if (!HasIconGroup(*tree)) {
    problem = std::string("carries no icon group \"") + kIconGroupName +
              "\"; the stub must bring the installer's icon";
  }
  if (!problem.empty()) {
    ReportProblem(path + ": not an installer stub: " + problem);
    return false;
  }
  return true;
}

// The stub beside eek (a build tree), else where cmake --install puts it:
// share/eek beside the bin folder of an installed eek.
std::string DefaultStubPath() {
  std::string folder = ProgramFolder();
  if (folder.empty()) {
    return std::string();
  }
  fs::path beside = HostPath(folder) / kStubFileName;
  fs::path installed = HostPath(folder).parent_path() / "share" / "eek" / kStubFileName;
  std::error_code error;
  return HostPathText(!fs::exists(beside, error) && fs::exists(installed, error) ? installed
                                                                                 : beside);
}

// The payload as the installer is written from it: an open file, read in
// pieces, with its length, CRC-32 and the PE checksum sum of its bytes.
struct PayloadFile {
  std::string path;  // as shown in messages
  // The packed archive (temp_file.h), or the carried archive, opened for
  // reading, which has no name of eek's to remove.
  TempFile file;
  int64_t size = 0;
  uint32_t crc = 0;
  PeChecksumSum sum{0, 0};
};

const int64_t kCopyPieceSize = int64_t{1} << 20;

// Reads the whole payload from its start in pieces, giving each to take;
// false with the reason in error.
bool ReadPayloadPieces(const PayloadFile& payload,
                       const std::function<bool(const uint8_t*, size_t, std::string*)>& take,
                       std::string* error) {
  if (!SeekFile(payload.file.fd.get(), 0)) {
    *error = payload.path + ": " + LastErrorText();
    return false;
  }
  std::vector<uint8_t> piece(static_cast<size_t>(kCopyPieceSize));
  for (int64_t done = 0; done < payload.size;) {
    int64_t want = std::min(kCopyPieceSize, payload.size - done);
    int64_t got = ReadFileBytes(payload.file.fd.get(), piece.data(), want);
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

// The first read: length, CRC-32 and checksum sum; false after reporting.
bool MeasurePayload(PayloadFile* payload) {
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
  std::string error;
  bool read = ReadPayloadPieces(
      *payload,
      [&](const uint8_t* bytes, size_t size, std::string*) {
        payload->crc = UpdateCrc32(payload->crc, bytes, size);
        AddToPeChecksum(&payload->sum, bytes, size);
        return true;
      },
      &error);
  if (!read) {
    ReportProblem(error);
  }
  return read;
}

// Packs the inputs into a temporary archive, open for reading; false after
// reporting. The output may be none of the files packed.
bool PackPayload(const InstallerRequest& request, PayloadFile* payload, int64_t* totalSize) {
  std::vector<PackInput> files;
  if (!CollectPackInputs(request.inputs, &files) ||
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
  return packed;
}

// Writes the installer laid out in parts with the payload's bytes between
// head and tail into output, then reads the new file back through its
// descriptor (an output written in place into a device or pipe has none to
// read): the layout again, the payload with the CRC-32 of the first read (an
// archive that changed in between is caught). False with the reason in error.
bool WriteInstaller(const OutputFile& output, const PeImageParts& parts, const PayloadFile& payload,
                    std::string* error) {
  int fd = output.file.fd.get();
  auto writeAll = [&](const uint8_t* bytes, size_t size, std::string* reason) {
    if (WriteFileBytes(fd, bytes, static_cast<int64_t>(size)) != static_cast<int64_t>(size)) {
      *reason = "write failed: " + LastErrorText();
      return false;
    }
    return true;
  };
  uint32_t crc = 0;
  if (!writeAll(parts.head.data(), parts.head.size(), error) ||
      !ReadPayloadPieces(
          payload,
          [&](const uint8_t* bytes, size_t size, std::string* reason) {
            crc = UpdateCrc32(crc, bytes, size);
            return writeAll(bytes, size, reason);
          },
          error) ||
      !writeAll(parts.tail.data(), parts.tail.size(), error)) {
    return false;
  }
  if (crc != payload.crc) {
    *error = payload.path + ": the archive changed while the installer was written";
    return false;
  }

  if (output.inPlace) {
    return true;  // a device or pipe: nothing to read back
  }
  if (!SeekFile(fd, 0)) {
    *error = "cannot read the installer back: " + LastErrorText();
    return false;
  }
  std::vector<uint8_t> piece(static_cast<size_t>(kCopyPieceSize));
  auto readSame = [&](const std::vector<uint8_t>& expected) {
    for (size_t done = 0; done < expected.size();) {
      size_t want = std::min(piece.size(), expected.size() - done);
      if (ReadFileBytes(fd, piece.data(), static_cast<int64_t>(want)) !=
              static_cast<int64_t>(want) ||
          !std::equal(piece.begin(), piece.begin() + want, expected.begin() + done)) {
        return false;
      }
      done += want;
    }
    return true;
  };
  bool same = readSame(parts.head);
  uint32_t backCrc = 0;
  for (int64_t done = 0; same && done < payload.size;) {
    int64_t want = std::min(kCopyPieceSize, payload.size - done);
    same = ReadFileBytes(fd, piece.data(), want) == want;
    backCrc = UpdateCrc32(backCrc, piece.data(), static_cast<size_t>(want));
    done += want;
  }
  same = same && backCrc == payload.crc && readSame(parts.tail) &&
         ReadFileBytes(fd, piece.data(), 1) == 0;
  if (!same) {
    *error = "the installer does not read back as it was written";
    return false;
  }
  return true;
}

// Where --stub win32 and --stub win64 point: the shipped stubs beside eek (a
// build tree) or in share/eek (an installed eek).
std::string ShippedStubPath(const std::string& name) {
  if (name == "win32") {
    return DefaultStubPath();
  }
  std::string folder = ProgramFolder();
  if (folder.empty()) {
    return std::string();
  }
  fs::path beside = HostPath(folder) / name / kStubFileName;
  fs::path installed = HostPath(folder).parent_path() / "share" / "eek" / name / kStubFileName;
  std::error_code error;
  return HostPathText(!fs::exists(beside, error) && fs::exists(installed, error) ? installed
                                                                                 : beside);
}

// An archive carried as it is must decode soundly, as eek test finds it, and
// hold SETUP.EXE unless the publisher says otherwise; false after reporting.
bool CheckPayloadArchive(const InstallerRequest& request) {
  ArchiveSource source = WholeFileSource(request.archivePath);
  std::error_code fsError;
  uintmax_t size = fs::file_size(HostPath(request.archivePath), fsError);
  if (!fsError && size >= kResourceSizeLimit) {
    ReportProblem(request.archivePath + ": 2 GiB or larger; the payload must stay below 2 GiB");
    return false;
  }
  if (!fsError && size == 0) {
    ReportProblem(request.archivePath + ": an empty archive; the installer would unpack nothing");
    return false;
  }
  if (RunTestCommand(source, true) != 0) {
    ReportProblem(request.archivePath +
                  ": not a sound archive; the installer would show \"Payload Damaged!\" or "
                  "unpack it wrong; nothing was written");
    return false;
  }
  if (request.allowNoSetup) {
    return true;
  }
  OpenArchive archive;
  if (!OpenArchiveForWalk(source, &archive)) {
    return false;
  }
  bool setup = false;
  ArchiveEntry entry;
  while (!setup && ReadNextEntry(&archive.walk, &entry)) {
    setup = TargetName(entry) == "SETUP.EXE";
  }
  CloseArchive(&archive);
  if (!setup) {
    ReportProblem(request.archivePath + ": " + kNoSetupProblem);
  }
  return setup;
}

// The installer laid out from the stub, its resources and a payload of the
// given size, CRC-32 and checksum sum: head and tail, the payload's bytes
// streamed between them. False with the reason in error.
bool LayOutInstaller(const PeImage& stub, PeResourceTree tree,
                     const std::vector<uint8_t>& versionInfo, int64_t payloadSize,
                     uint32_t payloadCrc, const PeChecksumSum& payloadSum, PeImageParts* parts,
                     std::string* error) {
  uint16_t language = ChooseResourceLanguage(tree);
  return SetPayloadCheckResourceOf(&tree, language, static_cast<uint32_t>(payloadSize), payloadCrc,
                                   error) &&
         SetStreamedResource(&tree, kPayloadType, kPayloadName, language,
                             static_cast<uint64_t>(payloadSize), error) &&
         (versionInfo.empty() ||
          SetResource(&tree, NumberedResourceId(kResourceTypeVersion), NumberedResourceId(1),
                      kVersionInfoLanguage, versionInfo, error)) &&
         LayOutResourceImage(stub, tree, payloadSum, parts, error);
}

// Whether the laid-out installer can start: one larger in memory than its
// architecture was measured to start with is refused, naming what would fit,
// unless the publisher goes past the measured ceiling, which then warns
// (unless quietly: a judgement before the payload is read); past what such a
// process can map at all it is refused in any case. False after reporting;
// nothing has been written yet.
bool JudgeInstallerSize(const InstallerRequest& request, const PeImage& stub,
                        const PeImageParts& parts, int64_t payloadSize, bool quietly = false) {
  uint64_t image = ReadLe32(parts.head.data() + stub.optionalHeaderOffset + kOptSizeOfImage);
  ImageCeiling ceiling = ImageCeilingOf(stub.magic);
  ImageSizeVerdict verdict = JudgeImageSize(ceiling, image);
  if (verdict == ImageSizeVerdict::kWithinTested) {
    return true;
  }
  bool past = verdict == ImageSizeVerdict::kPastTested && request.pastTestedCeiling;
  std::string format = ceiling.format;
  std::string what = request.outputPath + ": a payload of " + SizeText(payloadSize) + " makes a " +
                     format + " installer of " + SizeText(image) + " in memory (SizeOfImage), ";
  if (past) {
    if (quietly) {
      return true;
    }
    ReportProblem("warning: " + what + "past the " + SizeText(ceiling.tested) + " that " + format +
                  " installers were measured to start with; made as --past-tested-ceiling asks: "
                  "it starts only where Windows maps it whole, so test it on the Windows you "
                  "ship to");
    return true;
  }
  uint64_t limit =
      verdict == ImageSizeVerdict::kPastTested ? ceiling.tested : ceiling.addressSpaceLimit;
  uint64_t fits =
      PayloadWithin(image, static_cast<uint64_t>(payloadSize), limit, stub.sectionAlignment);
  std::string smaller = fits > 0 ? "a payload of at most " + SizeText(fits)
                                 : std::string("a stub that is smaller in memory");
  if (verdict == ImageSizeVerdict::kPastAddressSpace) {
    ReportProblem(what + "past the " + SizeText(ceiling.addressSpaceLimit) +
                  " that any 32-bit process can map: it cannot start; use --stub win64 (" +
                  ImageCeilingOf(kPe32PlusMagic).format + ") or " + smaller +
                  "; nothing was written");
  } else {
    std::string other = stub.magic == kPe32PlusMagic
                            ? smaller
                            : "--stub win64 (PE32+ installers were measured to start up to " +
                                  SizeText(ImageCeilingOf(kPe32PlusMagic).tested) + ") or " +
                                  smaller;
    ReportProblem(what + "past the " + SizeText(ceiling.tested) + " that " + format +
                  " installers were measured to start with: it would fail to start (not "
                  "enough memory); use " +
                  other +
                  " (--past-tested-ceiling makes it anyway, for an installer tested on the "
                  "Windows it ships to); nothing was written");
  }
  return false;
}

}  // namespace

std::string VersionText(const std::string& version) {
  std::string text = "eek " + version + "\n";
  std::string stubPath = DefaultStubPath();
  std::error_code fsError;
  if (stubPath.empty() || !fs::exists(HostPath(stubPath), fsError)) {
    return text + "default stub: none found (" +
           (stubPath.empty() ? std::string(kStubFileName) : stubPath) +
           " is missing); eek installer needs --stub";
  }
  std::string error;
  FileDescriptor fd(OpenInputFile(stubPath, &error));
  Sha256 digest;
  std::vector<uint8_t> piece(1 << 16);
  int64_t got = 0;
  while (fd.valid() && (got = ReadFileBytes(fd.get(), piece.data(), piece.size())) > 0) {
    digest.Update(piece.data(), static_cast<size_t>(got));
  }
  if (!fd.valid() || got < 0) {
    return text + "default stub: " + stubPath + " cannot be read (" +
           (error.empty() ? LastErrorText() : error) + ")";
  }
  return text + "default stub: " + stubPath + "\ndefault stub SHA-256: " + digest.FinishHex();
}

int RunInstallerCommand(const InstallerRequest& request) {
  bool named = request.stubPath == "win32" || request.stubPath == "win64";
  std::string stubPath = request.stubPath.empty() ? DefaultStubPath()
                         : named                  ? ShippedStubPath(request.stubPath)
                                                  : request.stubPath;
  std::error_code fsError;
  if (stubPath.empty() ||
      ((request.stubPath.empty() || named) && !fs::exists(HostPath(stubPath), fsError))) {
    ReportProblem(request.stubPath.empty()
                      ? "no stub given and none found beside eek (" +
                            (stubPath.empty() ? std::string(kStubFileName) : stubPath) +
                            "); name one with --stub"
                      : "the shipped " + request.stubPath +
                            " stub is not where eek looks for it (" +
                            (stubPath.empty() ? std::string(kStubFileName) : stubPath) +
                            "); name the stub's path with --stub");
    return 1;
  }
  if (fs::is_directory(HostPath(request.outputPath), fsError)) {
    ReportProblem(request.outputPath + ": is a folder");
    return 1;
  }
  if (IsOutputOneOf(request.outputPath, stubPath, "the stub") ||
      (!request.archivePath.empty() &&
       IsOutputOneOf(request.outputPath, request.archivePath, "the archive being carried"))) {
    return 1;
  }
  PeImage stub;
  PeResourceTree tree;
  if (!LoadStub(stubPath, &stub, &tree)) {
    return 1;
  }
  std::vector<uint8_t> versionInfo;
  std::string error;
  if (HasVersionInfo(request.versionInfo) &&
      !BuildVersionInfo(request.versionInfo, &versionInfo, &error)) {
    ReportProblem(error);
    return 1;
  }

  PayloadFile payload;
  int64_t unpackedSize = -1;
  if (!request.archivePath.empty()) {
    // A carried archive's size is known at once: an installer too large to
    // start is refused before the archive is read (laid out as if of zeros;
    // only its size is judged).
    std::error_code sizeError;
    uintmax_t archiveSize = fs::file_size(HostPath(request.archivePath), sizeError);
    PeImageParts early;
    std::string layoutError;  // reported by the lay-out after the payload is read
    if (!sizeError && archiveSize > 0 && archiveSize < kResourceSizeLimit &&
        LayOutInstaller(stub, tree, versionInfo, static_cast<int64_t>(archiveSize), 0,
                        PeChecksumSum{0, archiveSize}, &early, &layoutError) &&
        !JudgeInstallerSize(request, stub, early, static_cast<int64_t>(archiveSize), true)) {
      return 1;
    }
    if (!CheckPayloadArchive(request)) {
      return 1;
    }
    payload.path = request.archivePath;
    payload.file.fd = FileDescriptor(OpenInputFile(request.archivePath, &error));
    if (!payload.file.fd.valid()) {
      ReportProblem(request.archivePath + ": " + error);
      return 1;
    }
  } else if (!PackPayload(request, &payload, &unpackedSize)) {
    return 1;
  }
  if (!MeasurePayload(&payload)) {
    return 1;
  }
  PeImageParts parts;
  if (!LayOutInstaller(stub, tree, versionInfo, payload.size, payload.crc, payload.sum, &parts,
                       &error)) {
    ReportProblem(stubPath + ": " + error);
    return 1;
  }
  if (!JudgeInstallerSize(request, stub, parts, payload.size)) {
    return 1;
  }
  OutputFile output;
  if (!OpenOutputFile(request.outputPath, &output, &error)) {
    ReportProblem(request.outputPath + ": " + error);
    return 1;
  }
  if (!WriteInstaller(output, parts, payload, &error) || !CommitOutputFile(&output, &error)) {
    ReportProblem(request.outputPath + ": " + error);
    return 1;  // the output abandons itself
  }
  if (request.quiet || IsStandardOutput(request.outputPath)) {
    return 0;
  }
  int64_t total = static_cast<int64_t>(parts.head.size()) + payload.size +
                  static_cast<int64_t>(parts.tail.size());
  std::string packed =
      unpackedSize >= 0 ? std::to_string(unpackedSize) + " bytes packed into " : "";
  std::printf("%s: %s, payload of %s%lld bytes (CRC-32 %s), %lld bytes in all (stub %s)\n",
              request.outputPath.c_str(), FormatText(stub).c_str(), packed.c_str(),
              static_cast<long long>(payload.size), Crc32Text(payload.crc).c_str(),
              static_cast<long long>(total), stubPath.c_str());
  return 0;
}

int RunInstallerCheck(const std::string& installerPath) {
  InstallerPayload payload;
  if (!FindInstallerPayload(installerPath, &payload)) {
    return 1;
  }
  const PeImage& image = payload.headers;
  const PeResourceTree& tree = payload.tree;
  std::printf("%s: %s\n", installerPath.c_str(), FormatText(image).c_str());
  std::printf("icon group \"%s\": %s\n", kIconGroupName,
              HasIconGroup(tree) ? "present" : "missing");
  std::printf("%s\n", DescribeSignature(image).c_str());
  if (!payload.found) {
    std::fflush(stdout);
    ReportProblem(installerPath + ": carries no payload (no RCDATA " +
                  std::to_string(kPayloadResourceId) + " resource)");
    return 1;
  }
  std::printf("payload: RCDATA %d, language %u, %lld bytes\n", kPayloadResourceId, payload.language,
              static_cast<long long>(payload.size));
  // An installer larger in memory than its architecture was measured to
  // start with may fail in CreateProcess; the status says so, as it says that
  // a payload failing its check will not install.
  ImageCeiling ceiling = ImageCeilingOf(image.magic);
  ImageSizeVerdict verdict = JudgeImageSize(ceiling, image.sizeOfImage);
  std::string inMemory = "in memory: " + SizeText(image.sizeOfImage) + " (SizeOfImage), ";
  std::string sizeProblem;
  if (verdict == ImageSizeVerdict::kWithinTested) {
    std::printf("%swithin the %s that %s installers were measured to start with\n",
                inMemory.c_str(), SizeText(ceiling.tested).c_str(), ceiling.format);
  } else if (verdict == ImageSizeVerdict::kPastTested) {
    std::printf("%spast the %s that %s installers were measured to start with\n", inMemory.c_str(),
                SizeText(ceiling.tested).c_str(), ceiling.format);
    sizeProblem = std::string("larger in memory than ") + ceiling.format +
                  " installers were measured to start with; it may not start (not enough "
                  "memory) where Windows cannot map it whole";
  } else {
    std::printf("%spast the %s that any 32-bit process can map\n", inMemory.c_str(),
                SizeText(ceiling.addressSpaceLimit).c_str());
    sizeProblem = "larger in memory than any 32-bit process can map; it cannot start";
  }
  // A payload that fails its check is still listed and tested, to show what
  // it holds; the status says it will not install.
  std::printf("%s\n", payload.check.description.c_str());
  std::fflush(stdout);
  if (!payload.check.problem.empty()) {
    ReportProblem(installerPath + ": " + payload.check.problem);
  }
  if (!sizeProblem.empty()) {
    ReportProblem(installerPath + ": " + sizeProblem);
  }

  // The list and the test read the payload from its place in the installer.
  // A payload the list finds damaged has been reported; the test would only
  // repeat it.
  ArchiveSource source{installerPath, payload.offset, payload.size, installerPath + " (payload)",
                       installerPath, &payload};
  int status = RunListCommand(source);
  std::fflush(stdout);
  if (status == 0) {
    status = RunTestCommand(source);
  }
  return payload.check.problem.empty() && sizeProblem.empty() ? status : 1;
}

namespace {

// The facts as name=value lines, for scripts and tests that must agree with
// the installer without repeating what it does.
int PrintInstallerFacts() {
  std::printf("install_folder=%s\n", InstalledFolderText().c_str());
  std::printf("path_limit=%d\n", kInstalledPathLimit);
  std::printf("payload_resource=%d\n", kPayloadResourceId);
  std::printf("payload_check_resource=%s\n", kPayloadCheckResourceName);
  std::printf("icon_group=%s\n", kIconGroupName);
  std::printf("pe32_image_ceiling=%u\n", kPe32ImageCeiling);
  std::printf("pe32plus_image_ceiling=%u\n", kPe32PlusImageCeiling);
  std::printf("pe32_address_space_limit=%u\n", kPe32AddressSpaceLimit);
  return 0;
}

}  // namespace

Command AddInstallerCommand(CLI::App* app) {
  struct Options {
    InstallerRequest request{"", "", "", {}, false, false, VersionInfoFields(), false};
    std::string checkPath;
  };
  auto options = std::make_shared<Options>();
  InstallerRequest& request = options->request;
  CLI::App* installer =
      app->add_subcommand("installer", "Makes an installer: a stub carrying a payload archive");
  const std::string payloadResource = "RCDATA " + std::to_string(kPayloadResourceId);
  const std::string checkResource = "RCDATA \"" + std::string(kPayloadCheckResourceName) + "\"";
  installer->footer(
      "Packs the INPUTs as 'eek pack' does (or takes --archive as it is, without repacking or "
      "name checks, once it tests sound as 'eek test' finds it) and writes the archive into a "
      "copy of the installer stub as its payload resource (" +
      payloadResource +
      "), replacing a payload the stub may carry already; the stub's other resources stay as "
      "they are. Beside it goes the payload check record, " +
      checkResource +
      ": the payload's length and CRC-32, which the "
      "installer checks before it unpacks anything. The payload must hold SETUP.EXE, which the "
      "installer starts, unless --no-setup is given. The stub must be an unsigned x86 Windows "
      "GUI program carrying the icon group \"" +
      kIconGroupName +
      "\"; sign the finished installer, not the "
      "stub. --stub win32 and --stub win64 name the shipped stubs. The written installer holds "
      "the stub's sections and one resource section, nothing else. --product-name, --company, "
      "--file-version, --product-version, --description and --copyright write a version "
      "resource (VERSIONINFO, US English, UTF-16) that Windows shows in the file's properties; "
      "without them the installer carries the stub's, if any. The output may not be the stub, "
      "the archive or a file being packed. The installer is read back before it is put in "
      "place; on any problem no file is left behind. --check "
      "describes an installer (format, machine, subsystem, icon, payload), checks the payload "
      "against its check record (" +
      checkResource +
      ": its length and CRC-32, which the "
      "installer checks before unpacking), lists the payload as 'eek list' does and tests it as "
      "'eek test' does, and says whether the installer is larger in memory than its "
      "architecture was measured to start with (exit status 1 then). An installer larger "
      "in memory (SizeOfImage, payload included) than PE32 or PE32+ installers were measured "
      "to start with is refused before anything is written, naming what would fit; "
      "--past-tested-ceiling makes it anyway with a warning, up to what a 32-bit process can "
      "map. --facts prints what the installer and eek agree on, as name=value "
      "lines: the installation folder on drive C:, the longest installed path in UTF-16 "
      "units, the payload and check record resources, the icon group, the measured image "
      "ceilings and the 32-bit address space limit.");
  CLI::Option* stubOption = installer->add_option(
      "--stub", request.stubPath,
      "The installer stub: win32 or win64 for the shipped stubs (default: win32, "
      "OstrelTarvine64SetupStub.exe in eek's folder), or a stub's path");
  CLI::Option* outputOption =
      installer->add_option("-o,--output", request.outputPath, "The installer to write");
  CLI::Option* archiveOption = installer->add_option(
      "--archive", request.archivePath, "An archive to carry as it is, instead of INPUTs");
  CLI::Option* checkOption = installer->add_option(
      "--check", options->checkPath, "An installer to describe and test; nothing is written");
  CLI::Option* factsOption = installer->add_flag(
      "--facts",
      "Print the installer's folder, path limit, resource names and image ceilings; nothing is "
      "written");
  CLI::Option* noSetupOption =
      installer->add_flag("--no-setup", request.allowNoSetup,
                          "Accept a payload without SETUP.EXE (the installer then starts nothing "
                          "and its desktop shortcut leads nowhere)");
  CLI::Option* pastCeilingOption = installer->add_flag(
      "--past-tested-ceiling", request.pastTestedCeiling,
      "Make a PE32 installer larger in memory than PE32 installers were measured to start with "
      "(up to what a 32-bit process can map), with a warning: for an installer tested on the "
      "Windows it ships to");
  CLI::Option* quietOption =
      installer->add_flag("-q,--quiet", request.quiet, "No summary line on stdout");
  CLI::Option* inputsOption =
      installer->add_option("INPUT", request.inputs, "Files and folders to pack");
  // The version resource that Windows' file properties show; none without them.
  auto versionNumber = [](const std::string& text) {
    uint16_t parts[4];
    return ParseVersionNumber(text, parts) ? std::string()
                                           : "not a version a.b.c.d (numbers to 65535): " + text;
  };
  VersionInfoFields& version = request.versionInfo;
  std::vector<CLI::Option*> versionOptions = {
      installer->add_option("--product-name", version.productName,
                            "Product name (file properties)"),
      installer->add_option("--company", version.companyName, "Company name (file properties)"),
      installer->add_option("--file-version", version.fileVersion, "File version, a.b.c.d")
          ->check(versionNumber),
      installer->add_option("--product-version", version.productVersion, "Product version, a.b.c.d")
          ->check(versionNumber),
      installer->add_option("--description", version.fileDescription,
                            "File description (file properties)"),
      installer->add_option("--copyright", version.legalCopyright, "Copyright (file properties)"),
  };
  factsOption->excludes(checkOption)->excludes(stubOption)->excludes(outputOption);
  factsOption->excludes(archiveOption)->excludes(inputsOption)->excludes(noSetupOption);
  factsOption->excludes(pastCeilingOption);
  checkOption->excludes(pastCeilingOption);
  for (CLI::Option* option : versionOptions) {
    factsOption->excludes(option);
  }
  checkOption->excludes(stubOption)->excludes(outputOption)->excludes(archiveOption);
  checkOption->excludes(inputsOption)->excludes(noSetupOption)->excludes(quietOption);
  for (CLI::Option* option : versionOptions) {
    checkOption->excludes(option);
  }
  archiveOption->excludes(inputsOption);
  installer->callback([=] {
    if (checkOption->count() > 0 || factsOption->count() > 0) {
      return;
    }
    if (outputOption->count() == 0) {
      throw CLI::RequiredError("-o,--output");
    }
    if (archiveOption->count() == 0 && inputsOption->count() == 0) {
      throw CLI::RequiredError("INPUT or --archive");
    }
  });
  return Command{installer, [options, checkOption, factsOption] {
                   if (factsOption->count() > 0) {
                     return PrintInstallerFacts();
                   }
                   return checkOption->count() > 0 ? RunInstallerCheck(options->checkPath)
                                                   : RunInstallerCommand(options->request);
                 }};
}
