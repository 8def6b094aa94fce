// eek installer: writes a payload archive into a copy of a prebuilt installer
// stub as its RCDATA 10 resource, with the payload check record beside it
// (archive/payload_check.h), so that a publisher makes an installer without a
// compiler; and --check, which describes an installer and tests the
// payload it carries. The installer is written to a temporary file beside its
// final name and renamed into place only when complete and read back.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "archive/crc32.h"
#include "peimage/pe_image.h"
#include "peimage/resource_reader.h"
#include "peimage/resource_section_update.h"
#include "tools/eek/commands.h"
#include "tools/eek/host_path.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/installed_names.h"
#include "tools/eek/whole_file.h"
#include "tools/eek/installer_payload.h"
#include "tools/eek/memory_output.h"
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

// Packs the inputs into payload; false after reporting.
bool PackPayload(const std::vector<std::string>& inputs, std::vector<uint8_t>* payload,
                 int64_t* totalSize) {
  std::vector<PackInput> files;
  if (!CollectPackInputs(inputs, &files) || !CheckInstallerPayload(files)) {
    return false;
  }
  MemoryOutput memory;
  BinaryFile archive;
  AttachMemoryOutput(&memory, &archive);
  int64_t archiveSize = 0;
  bool packed = PackFiles(files, &archive, totalSize, &archiveSize);
  CloseBinaryFile(&archive);
  *payload = std::move(memory.bytes);
  return packed;
}

// Parses the finished installer (taken over from installer) and compares its
// payload with the one set and checks it against its record; false with the
// reason in error.
bool ReadBack(std::vector<uint8_t>* installer, const std::vector<uint8_t>& payload, PeImage* image,
              std::string* error) {
  PeResourceTree tree;
  if (!ParsePeImage(std::move(*installer), image, error) ||
      !ReadResourceTree(*image, &tree, error)) {
    return false;
  }
  int index = FindPeResource(tree, kPayloadType, kPayloadName);
  if (index < 0 || tree.resources[index].data != payload) {
    *error = "the payload does not read back";
    return false;
  }
  PayloadCheckReport check = DescribePayloadCheck(tree, payload);
  if (!check.present || !check.problem.empty()) {
    *error = "the payload check record does not read back";
    return false;
  }
  return true;
}

}  // namespace

int RunInstallerCommand(const InstallerRequest& request) {
  std::string stubPath = request.stubPath.empty() ? DefaultStubPath() : request.stubPath;
  std::error_code fsError;
  if (stubPath.empty() || (request.stubPath.empty() && !fs::exists(HostPath(stubPath), fsError))) {
    ReportProblem("no stub given and none found beside eek (" +
                  (stubPath.empty() ? std::string(kStubFileName) : stubPath) +
                  "); name one with --stub");
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

  std::vector<uint8_t> payload;
  int64_t unpackedSize = -1;
  if (!request.archivePath.empty()) {
    if (!ReadFileWhole(request.archivePath, static_cast<int64_t>(kResourceSizeLimit),
                       "2 GiB or larger; the payload must stay below 2 GiB", &payload)) {
      return 1;
    }
    if (payload.empty()) {
      ReportProblem(request.archivePath + ": an empty archive; the installer would unpack nothing");
      return 1;
    }
  } else if (!PackPayload(request.inputs, &payload, &unpackedSize)) {
    return 1;
  }
  size_t payloadSize = payload.size();
  std::string payloadCrc = Crc32Text(UpdateCrc32(0, payload.data(), payload.size()));
  std::vector<uint8_t> installer;
  std::string error;
  uint16_t language = ChooseResourceLanguage(tree);
  if (!SetPayloadCheckResource(&tree, language, payload, &error) ||
      !SetResource(&tree, kPayloadType, kPayloadName, language, std::move(payload), &error) ||
      !StoreResourceSection(stub, tree, &installer, &error)) {
    ReportProblem(stubPath + ": " + error);
    return 1;
  }
  PeImage result;
  const PeResource& stored = tree.resources[FindPeResource(tree, kPayloadType, kPayloadName)];
  if (!ReadBack(&installer, stored.data, &result, &error)) {
    ReportProblem(request.outputPath + ": the installer made is unsound (" + error +
                  "); nothing was written");
    return 1;
  }
  if (!WriteFileReplacing(request.outputPath, result.bytes.data(),
                          static_cast<int64_t>(result.bytes.size()))) {
    return 1;
  }
  std::string packed =
      unpackedSize >= 0 ? std::to_string(unpackedSize) + " bytes packed into " : "";
  std::printf("%s: %s, payload of %s%zu bytes (CRC-32 %s), %zu bytes in all (stub %s)\n",
              request.outputPath.c_str(), FormatText(stub).c_str(), packed.c_str(), payloadSize,
              payloadCrc.c_str(), result.bytes.size(), stubPath.c_str());
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
  UseRecordedCodePage(check);
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
