// The archive tool's commands. Each returns the process exit code: 0 when all
// went well, 1 after reporting the problems on stderr.
#pragma once

#include <string>
#include <vector>

#include "peimage/version_info.h"

int RunPackCommand(const std::string& archivePath, const std::vector<std::string>& inputs);
// List and test name the archive in their messages as shownName when it is
// given (an installer's payload copied to a temporary file), else by its path.
int RunListCommand(const std::string& archivePath, const std::string& shownName = std::string());
int RunTestCommand(const std::string& archivePath, const std::string& shownName = std::string());
// eek extract: keepOld leaves existing files (each a problem, as tar -k does);
// verbose names each file written.
struct ExtractOptions {
  bool keepOld;
  bool verbose;
};
// installerPath, when given, is the installer whose payload archivePath holds:
// messages name it, and it is never replaced either.
int RunExtractCommand(const std::string& archivePath, const std::string& folder,
                      const ExtractOptions& options,
                      const std::string& installerPath = std::string());
// eek checksum: prints the archive's length and CRC-32; writes the payload
// check record of it to recordPath unless that is empty.
int RunChecksumCommand(const std::string& archivePath, const std::string& recordPath);

// eek installer: the payload is packed from inputs, or taken as it is from
// archivePath when that is given; stubPath empty means the stub beside eek,
// "win32" and "win64" the shipped stubs. versionInfo, when any of it is
// given, becomes the installer's version resource.
struct InstallerRequest {
  std::string stubPath;
  std::string outputPath;
  std::string archivePath;
  std::vector<std::string> inputs;
  VersionInfoFields versionInfo;
};
int RunInstallerCommand(const InstallerRequest& request);
// eek installer --check: describes an installer and tests its payload.
int RunInstallerCheck(const std::string& installerPath);
