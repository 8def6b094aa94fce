// eek installer: writes a payload archive into a copy of a prebuilt installer
// stub as its payload resource, with the payload check record beside it
// (archive/payload_check.h), so that a publisher makes an installer without a
// compiler; --check describes an installer and tests the payload it carries
// (installer_check.cpp). The pipeline: the stub (installer_stub.h), the
// payload as one open file, packed or carried, tested and measured
// (payload_file.h), then the installer laid out, judged, written and read back
// before it takes its name (installer_writing.h, output_file.h).
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "archive/crc32.h"
#include "contract/installer_contract.h"
#include "peimage/pe_image.h"
#include "peimage/version_info.h"
#include "tools/eek/code_page.h"
#include "tools/eek/commands.h"
#include "tools/eek/host_path.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/installed_names.h"
#include "tools/eek/installer_stub.h"
#include "tools/eek/installer_writing.h"
#include "tools/eek/messages.h"
#include "tools/eek/output_file.h"
#include "tools/eek/payload_check_resource.h"
#include "tools/eek/payload_file.h"

namespace fs = std::filesystem;

int RunInstallerCommand(const InstallerRequest& request) {
  StubLocation stubLocation = LocateStub(request.stubPath);
  const std::string& stubPath = stubLocation.path;
  if (!stubLocation.found) {
    std::string lookedAt = stubPath.empty() ? std::string(kStubFileName) : stubPath;
    ReportProblem(
        request.stubPath.empty()
            ? "no stub given and none found beside eek (" + lookedAt + "); name one with --stub"
            : "the shipped " + request.stubPath + " stub is not where eek looks for it (" +
                  lookedAt + "); name the stub's path with --stub");
    return 1;
  }
  std::error_code fsError;
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
    if (!OpenCarriedArchive(request.archivePath, &payload)) {
      return 1;
    }
    // A carried archive's size is known at once: an installer too large to
    // start is refused before the archive is read (laid out as if of zeros;
    // only its size is judged).
    PeImageParts early;
    std::string layoutError;  // reported by the lay-out after the payload is read
    if (LayOutInstaller(stub, tree, versionInfo, payload.size, 0,
                        PeChecksumSum{0, static_cast<uint64_t>(payload.size)}, request.codePage,
                        &early, &layoutError) &&
        !JudgeInstallerSize(request, stub, early, payload.size, true)) {
      return 1;
    }
    if (!TestCarriedArchive(request.allowNoSetup, request.codePage, &payload)) {
      return 1;
    }
  } else if (!PackPayload(request, &payload, &unpackedSize)) {
    return 1;
  }
  PeImageParts parts;
  if (!LayOutInstaller(stub, tree, versionInfo, payload.size, payload.crc, payload.sum,
                       request.codePage, &parts, &error)) {
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
    InstallerRequest request{
        "", "", "", {}, false, false, VersionInfoFields(), false, kDefaultCodePage};
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
  return Command{installer, [options, checkOption, factsOption](int codePage) {
                   if (factsOption->count() > 0) {
                     return PrintInstallerFacts();
                   }
                   if (checkOption->count() > 0) {
                     return RunInstallerCheck(options->checkPath, codePage);
                   }
                   InstallerRequest request = options->request;
                   request.codePage = codePage;
                   return RunInstallerCommand(request);
                 }};
}
