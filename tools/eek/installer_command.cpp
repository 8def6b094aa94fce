// eek installer: writes a payload archive into a copy of a prebuilt installer
// stub as its RCDATA 10 resource, with the payload check record beside it
// (archive/payload_check.h), so that a publisher makes an installer without a
// compiler; and --check, which describes an installer and tests the
// payload it carries. The payload is never held whole: packed into a
// temporary archive (or taken from --archive), it is read once for its length
// and checksums, then copied in pieces between the installer's laid-out head
// and tail. The installer is written to a temporary file beside its final name
// and renamed into place only when complete and read back.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <system_error>

#include "archive/crc32.h"
#include "peimage/pe_image.h"
#include "peimage/resource_reader.h"
#include "peimage/resource_section_update.h"
#include "peimage/version_info.h"
#include "tools/eek/buffered_file.h"
#include "tools/eek/commands.h"
#include "tools/eek/host_path.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/installed_names.h"
#include "tools/eek/whole_file.h"
#include "tools/eek/installer_payload.h"
#include "tools/eek/messages.h"
#include "tools/eek/pack_files.h"
#include "tools/eek/pack_inputs.h"
#include "tools/eek/payload_check_resource.h"

namespace fs = std::filesystem;

namespace {

const char kStubFileName[] = "OstrelTarvine64SetupStub.exe";
const char kIconGroupName[] = "OSTREL";
// Stubs are small programs; anything this large is not one.
const int64_t kStubSizeLimit = int64_t{256} << 20;

const PeResourceId kPayloadType = NumberedResourceId(kResourceTypeRcData);
const PeResourceId kPayloadName = NumberedResourceId(10);

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
  int fd = -1;
  int64_t size = 0;
  uint32_t crc = 0;
  PeChecksumSum sum{0, 0};
  std::string packedPath;  // a temporary archive eek packed, removed at the end
  ~PayloadFile() {
    if (fd >= 0) {
      CloseFile(fd);
    }
    if (!packedPath.empty()) {
      std::remove(packedPath.c_str());
    }
  }
};

const int64_t kCopyPieceSize = int64_t{1} << 20;

// Reads the whole payload from its start in pieces, giving each to take;
// false with the reason in error.
bool ReadPayloadPieces(const PayloadFile& payload,
                       const std::function<bool(const uint8_t*, size_t, std::string*)>& take,
                       std::string* error) {
  if (!SeekFile(payload.fd, 0)) {
    *error = payload.path + ": " + LastErrorText();
    return false;
  }
  std::vector<uint8_t> piece(static_cast<size_t>(kCopyPieceSize));
  for (int64_t done = 0; done < payload.size;) {
    int64_t want = std::min(kCopyPieceSize, payload.size - done);
    int64_t got = ReadFileBytes(payload.fd, piece.data(), want);
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
  payload->size = FileSize(payload->fd);
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

// Packs the inputs into a temporary archive and opens it; false after
// reporting.
bool PackPayload(const std::vector<std::string>& inputs, const std::string& outputPath,
                 PayloadFile* payload, int64_t* totalSize) {
  std::vector<PackInput> files;
  if (!CollectPackInputs(inputs, &files) || !CheckInstallerPayload(files)) {
    return false;
  }
  // Beside the installer, on its disk; an output that is a device or a pipe
  // has no folder of its own for it, and the temporary folder takes it.
  std::error_code fsError;
  fs::file_status status = fs::status(HostPath(outputPath), fsError);
  fs::path folder = fs::exists(status) && !fs::is_regular_file(status)
                        ? fs::temp_directory_path(fsError)
                        : HostPath(outputPath).parent_path();
  std::string archivePath = HostPathText(folder / "eek-payload.eek");
  std::string error;
  int fd = CreateTempFileBeside(archivePath, &payload->packedPath, &error);
  if (fd < 0) {
    ReportProblem(archivePath + ": cannot create the payload archive: " + error);
    return false;
  }
  RemoveFileOnInterrupt(payload->packedPath);
  BufferedFile buffered;
  BinaryFile archive;
  AttachBufferedWriter(&buffered, fd, &archive);
  int64_t archiveSize = 0;
  bool packed = PackFiles(files, &archive, totalSize, &archiveSize);
  CloseBinaryFile(&archive);
  if (packed && buffered.failed) {
    ReportProblem(payload->packedPath + ": " + buffered.error);
    packed = false;
  }
  payload->path = payload->packedPath;
  payload->fd = packed ? OpenInputFile(payload->packedPath, &error) : -1;
  if (packed && payload->fd < 0) {
    ReportProblem(payload->packedPath + ": " + error);
    packed = false;
  }
  // Once open, the archive needs no name where the system lets an open file
  // go: nothing is left behind if eek is stopped while it writes.
  if (payload->fd >= 0 && std::remove(payload->packedPath.c_str()) == 0) {
    payload->packedPath.clear();
  }
  RemoveFileOnInterrupt(std::string());
  return packed;
}

// Writes the installer laid out in parts with the payload's bytes between
// head and tail, then reads it back from writtenPath (unless that is empty):
// the layout again, the payload with the CRC-32 of the first read (an archive
// that changed in between is caught).
bool WriteInstaller(int fd, const std::string& writtenPath, const PeImageParts& parts,
                    const PayloadFile& payload, std::string* error) {
  auto writeAll = [&](const uint8_t* bytes, size_t size, std::string* reason) {
    if (WriteFileBytes(fd, bytes, static_cast<int64_t>(size)) != static_cast<int64_t>(size)) {
      *reason = LastErrorText();
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

  if (writtenPath.empty()) {
    return true;  // written in place into a device or pipe: nothing to read back
  }
  std::string openError;
  int back = OpenInputFile(writtenPath, &openError);
  if (back < 0) {
    *error = "cannot read the installer back: " + openError;
    return false;
  }
  std::vector<uint8_t> piece(static_cast<size_t>(kCopyPieceSize));
  auto readSame = [&](const std::vector<uint8_t>& expected) {
    for (size_t done = 0; done < expected.size();) {
      size_t want = std::min(piece.size(), expected.size() - done);
      if (ReadFileBytes(back, piece.data(), static_cast<int64_t>(want)) !=
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
    same = ReadFileBytes(back, piece.data(), want) == want;
    backCrc = UpdateCrc32(backCrc, piece.data(), static_cast<size_t>(want));
    done += want;
  }
  same = same && backCrc == payload.crc && readSame(parts.tail) &&
         ReadFileBytes(back, piece.data(), 1) == 0;
  CloseFile(back);
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

}  // namespace

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
    payload.path = request.archivePath;
    payload.fd = OpenInputFile(request.archivePath, &error);
    if (payload.fd < 0) {
      ReportProblem(request.archivePath + ": " + error);
      return 1;
    }
  } else if (!PackPayload(request.inputs, request.outputPath, &payload, &unpackedSize)) {
    return 1;
  }
  if (!MeasurePayload(&payload)) {
    return 1;
  }
  uint16_t language = ChooseResourceLanguage(tree);
  PeImageParts parts;
  bool laidOut = SetPayloadCheckResourceOf(&tree, language, static_cast<uint32_t>(payload.size),
                                           payload.crc, &error) &&
                 SetStreamedResource(&tree, kPayloadType, kPayloadName, language,
                                     static_cast<uint64_t>(payload.size), &error) &&
                 (versionInfo.empty() ||
                  SetResource(&tree, NumberedResourceId(kResourceTypeVersion),
                              NumberedResourceId(1), kVersionInfoLanguage, versionInfo, &error)) &&
                 LayOutResourceImage(stub, tree, payload.sum, &parts, &error);
  if (!laidOut) {
    ReportProblem(stubPath + ": " + error);
    return 1;
  }
  if (!WriteFileReplacingBy(request.outputPath,
                            [&](int fd, const std::string& writtenPath, std::string* reason) {
                              return WriteInstaller(fd, writtenPath, parts, payload, reason);
                            })) {
    return 1;
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
  PeImage image;
  PeResourceTree tree;
  if (!LoadImage(installerPath, &image, &tree, kInstallerSizeLimit,
                 "larger than any installer: a payload below 2 GiB in a stub below 256 MiB")) {
    return 1;
  }
  std::printf("%s: %s\n", installerPath.c_str(), FormatText(image).c_str());
  std::printf("icon group \"%s\": %s\n", kIconGroupName,
              HasIconGroup(tree) ? "present" : "missing");
  std::printf("%s\n", DescribeSignature(image).c_str());
  int index = FindPeResource(tree, kPayloadType, kPayloadName);
  if (index < 0) {
    std::fflush(stdout);
    ReportProblem(installerPath + ": carries no payload (no RCDATA 10 resource)");
    return 1;
  }
  const PeResource& payload = tree.resources[index];
  std::printf("payload: RCDATA 10, language %u, %zu bytes\n", payload.language,
              payload.data.size());
  // A payload that fails its check is still listed and tested, to show what
  // it holds; the status says it will not install.
  PayloadCheckReport check = DescribePayloadCheck(tree, payload.data);
  std::printf("%s\n", check.description.c_str());
  std::fflush(stdout);
  if (!check.problem.empty()) {
    ReportProblem(installerPath + ": " + check.problem);
  }

  // The list and the test read archives from files: a temporary copy. A
  // payload the list finds damaged has been reported; the test would only
  // repeat it.
  int status = RunOnPayloadCopy(payload.data, installerPath + " (payload)",
                                [](const std::string& archivePath, const std::string& shown) {
                                  int listed = RunListCommand(archivePath, shown);
                                  std::fflush(stdout);
                                  return listed != 0 ? listed : RunTestCommand(archivePath, shown);
                                });
  return check.problem.empty() ? status : 1;
}
