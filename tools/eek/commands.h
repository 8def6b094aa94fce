// The archive tool's commands, one file each. Every command adds its
// subcommand to the program's command line with its own options, and hands
// back the routine that runs it once the line is parsed. Each run returns the
// process exit code: 0 when all went well, 1 after reporting the problems on
// stderr.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "peimage/version_info.h"

namespace CLI {
class App;
}

// run gets the code page of names that --code-page gives (code_page.h).
struct Command {
  CLI::App* app;  // the subcommand, for its parsed() state
  std::function<int(int codePage)> run;
};

Command AddPackCommand(CLI::App* app);
Command AddListCommand(CLI::App* app);
Command AddTestCommand(CLI::App* app);
Command AddExtractCommand(CLI::App* app);
Command AddChecksumCommand(CLI::App* app);
Command AddInstallerCommand(CLI::App* app);

// An archive to read: a whole file, or an installer's payload at its place
// in the installer's file, with the code page its names are read in.
struct InstallerPayload;
struct ArchiveSource {
  std::string path;                   // the file read
  int64_t offset;                     // where the archive starts in it
  int64_t length;                     // its length, or -1 for the rest of the file
  std::string shown;                  // how messages name it: the path, or "INSTALLER (payload)"
  std::string installerPath;          // the installer, when the archive is its payload
  const InstallerPayload* installer;  // and what was found in it; else null
  int codePage;                       // --code-page's, or the one an installer's record names
};
ArchiveSource WholeFileSource(const std::string& path, int codePage);

// eek pack: names in codePage.
int RunPackCommand(const std::string& archivePath, const std::vector<std::string>& inputs,
                   int codePage, bool quiet = false);
// list and test: quiet list shows the names alone, one a line; a quiet test
// prints nothing when all is well. json lists the archive as one JSON line.
struct ListOptions {
  bool quiet;
  bool json;
};
int RunListCommand(const ArchiveSource& source, const ListOptions& options = ListOptions{});
int RunTestCommand(const ArchiveSource& source, bool quiet = false);
// eek extract: keepOld leaves existing files (each a problem, as tar -k does);
// verbose names each file written.
struct ExtractOptions {
  bool keepOld;
  bool verbose;
};
int RunExtractCommand(const ArchiveSource& source, const std::string& folder,
                      const ExtractOptions& options);
// eek checksum: prints the archive's length and CRC-32 (an installer's: its
// payload's); writes the payload check record of it to recordPath unless that
// is empty, naming codePage (an installer's: the one its record names).
int RunChecksumCommand(const std::string& archivePath, const std::string& recordPath, int codePage);

// eek installer: the payload is packed from inputs, or taken as it is from
// archivePath when that is given; stubPath empty means the stub beside eek,
// "win32" and "win64" the shipped stubs. A payload without SETUP.EXE is
// refused unless allowNoSetup. versionInfo, when any of it is given, becomes
// the installer's version resource. An installer larger in memory than its
// architecture was measured to start with is refused unless pastTestedCeiling
// (then made with a warning, up to what such a process can map at all).
// Names are packed in, checked in and recorded as of codePage.
struct InstallerRequest {
  std::string stubPath;
  std::string outputPath;
  std::string archivePath;
  std::vector<std::string> inputs;
  bool allowNoSetup;
  bool quiet;
  VersionInfoFields versionInfo;
  bool pastTestedCeiling;
  int codePage;
};
int RunInstallerCommand(const InstallerRequest& request);
// eek installer --check: describes an installer and tests its payload, whose
// names are read in the code page its record names, else in codePage.
int RunInstallerCheck(const std::string& installerPath, int codePage);

// eek --version: the version line, then the stub eek installer takes when
// none is named and its SHA-256, or that none is found.
std::string VersionText(const std::string& version);
