// Finding, reading and describing the installer stub (installer_stub.h), and
// eek --version's account of the default stub.
#include "tools/eek/installer_stub.h"

#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "contract/installer_contract.h"
#include "peimage/resource_reader.h"
#include "tools/eek/commands.h"
#include "tools/eek/file_descriptor.h"
#include "tools/eek/host_path.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/messages.h"
#include "tools/eek/sha256.h"
#include "tools/eek/whole_file.h"

namespace fs = std::filesystem;

const char kStubFileName[] = "OstrelTarvine64SetupStub.exe";

namespace {

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

}  // namespace

StubLocation LocateStub(const std::string& choice) {
  if (!choice.empty() && choice != "win32" && choice != "win64") {
    return StubLocation{choice, false, true};
  }
  std::string folder = ProgramFolder();
  if (folder.empty()) {
    return StubLocation{std::string(), true, false};
  }
  // The 32-bit stub lies in the folder itself, the 64-bit one in win64/.
  fs::path beside = HostPath(folder);
  fs::path installed = HostPath(folder).parent_path() / "share" / "eek";
  if (choice == "win64") {
    beside /= choice;
    installed /= choice;
  }
  beside /= kStubFileName;
  installed /= kStubFileName;
  std::error_code error;
  fs::path path = !fs::exists(beside, error) && fs::exists(installed, error) ? installed : beside;
  return StubLocation{HostPathText(path), true, fs::exists(path, error)};
}

bool HasIconGroup(const PeResourceTree& tree) {
  return FindPeResource(tree, NumberedResourceId(kResourceTypeGroupIcon),
                        NamedResourceId(kIconGroupName)) >= 0;
}

std::string FormatText(const PeImage& image) {
  return std::string(image.magic == kPe32Magic ? "PE32" : "PE32+") + " " +
         MachineText(image.machine) + ", " + SubsystemText(image.subsystem);
}

bool LoadStub(const std::string& path, PeImage* image, PeResourceTree* tree) {
  std::vector<uint8_t> bytes;
  if (!ReadFileWhole(path, kStubSizeLimit, "256 MiB or larger; not an installer stub", &bytes)) {
    return false;
  }
  std::string error;
  if (!ParsePeImage(std::move(bytes), image, &error) || !ReadResourceTree(*image, tree, &error)) {
    ReportProblem(path + ": " + error);
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

std::string VersionText(const std::string& version) {
  std::string text = "eek " + version + "\n";
  StubLocation stub = LocateStub(std::string());
  if (!stub.found) {
    return text + "default stub: none found (" +
           (stub.path.empty() ? std::string(kStubFileName) : stub.path) +
           " is missing); eek installer needs --stub";
  }
  std::string error;
  FileDescriptor fd(OpenInputFile(stub.path, &error));
  Sha256 digest;
  std::vector<uint8_t> piece(1 << 16);
  int64_t got = 0;
  while (fd.valid() && (got = ReadFileBytes(fd.get(), piece.data(), piece.size())) > 0) {
    digest.Update(piece.data(), static_cast<size_t>(got));
  }
  if (!fd.valid() || got < 0) {
    return text + "default stub: " + stub.path + " cannot be read (" +
           (error.empty() ? LastErrorText() : error) + ")";
  }
  return text + "default stub: " + stub.path + "\ndefault stub SHA-256: " + digest.FinishHex();
}
