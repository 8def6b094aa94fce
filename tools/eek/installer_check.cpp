// eek installer --check: describes an installer (format, icon, signature,
// payload, size in memory, check record) and lists and tests the payload it
// carries where it lies in the file.
#include <cstdio>
#include <string>

#include "contract/installer_contract.h"
#include "peimage/pe_image.h"
#include "tools/eek/commands.h"
#include "tools/eek/image_ceiling.h"
#include "tools/eek/installer_payload.h"
#include "tools/eek/installer_stub.h"
#include "tools/eek/messages.h"

namespace {

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

}  // namespace

int RunInstallerCheck(const std::string& installerPath, int codePage) {
  InstallerPayload payload;
  if (!FindInstallerPayload(installerPath, codePage, &payload)) {
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
  std::printf("%s%s\n", inMemory.c_str(), VerdictText(ceiling, verdict).c_str());
  if (verdict == ImageSizeVerdict::kPastTested) {
    sizeProblem = std::string("larger in memory than ") + ceiling.format +
                  " installers were measured to start with; it may not start (not enough "
                  "memory) where Windows cannot map it whole";
  } else if (verdict == ImageSizeVerdict::kPastAddressSpace) {
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
  ArchiveSource source{
      installerPath, payload.offset, payload.size,         installerPath + " (payload)",
      installerPath, &payload,       payload.namesCodePage};
  int status = RunListCommand(source);
  std::fflush(stdout);
  if (status == 0) {
    status = RunTestCommand(source);
  }
  return payload.check.problem.empty() && sizeProblem.empty() ? status : 1;
}
