// eek pack: compresses the inputs into a new archive, written as every output
// of the tool is (output_file.h): a failed pack leaves what was there.
#include <CLI/CLI.hpp>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>

#include "tools/eek/buffered_file.h"
#include "tools/eek/commands.h"
#include "tools/eek/host_path.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/messages.h"
#include "tools/eek/output_file.h"
#include "tools/eek/pack_files.h"
#include "tools/eek/pack_inputs.h"

namespace fs = std::filesystem;

namespace {

bool CheckArchivePath(const std::string& archivePath, const std::vector<PackInput>& files) {
  std::error_code error;
  if (fs::is_directory(HostPath(archivePath), error)) {
    ReportProblem(archivePath + ": is a folder");
    return false;
  }
  if (!fs::exists(HostPath(archivePath), error)) {
    return true;
  }
  for (const PackInput& file : files) {
    if (fs::equivalent(HostPath(file.path), HostPath(archivePath), error)) {
      ReportProblem(file.path + ": is the archive being written");
      return false;
    }
  }
  return true;
}

}  // namespace

int RunPackCommand(const std::string& archivePath, const std::vector<std::string>& inputs,
                   int codePage, bool quiet) {
  std::vector<PackInput> files;
  if (!CollectPackInputs(inputs, codePage, &files) || !CheckArchivePath(archivePath, files)) {
    return 1;
  }
  OutputFile output;
  std::string error;
  if (!OpenOutputFile(archivePath, &output, &error)) {
    ReportProblem(archivePath + ": cannot create the archive: " + error);
    return 1;
  }
  BufferedFile buffered;
  BinaryFile archive;
  AttachBufferedWriter(&buffered, output.file.fd.get(), &archive, true);
  int64_t totalSize = 0;
  int64_t archiveSize = 0;
  bool written = PackFiles(files, &archive, &totalSize, &archiveSize);
  CloseBinaryFile(&archive);
  if (buffered.failed) {
    // Also after the packing has stopped on it: the write error says why.
    ReportProblem(archivePath + ": " + buffered.error);
    written = false;
  }
  if (written && !CommitOutputFile(&output, &error)) {
    ReportProblem(archivePath + ": " + error);
    written = false;
  }
  if (!written) {
    return 1;  // the output abandons itself
  }
  if (!quiet && !IsStandardOutput(archivePath)) {
    std::printf("%s: %zu %s, %lld bytes packed into %lld bytes\n", archivePath.c_str(),
                files.size(), files.size() == 1 ? "entry" : "entries",
                static_cast<long long>(totalSize), static_cast<long long>(archiveSize));
  }
  return 0;
}

Command AddPackCommand(CLI::App* app) {
  struct Options {
    std::string archive;
    std::vector<std::string> inputs;
    bool quiet = false;
  };
  auto options = std::make_shared<Options>();
  CLI::App* pack = app->add_subcommand("pack", "Packs files and folders into a new archive");
  pack->footer(
      "Packs files into a new archive (tagged layout, optimal parse). Each INPUT is a file or a "
      "folder; a folder adds its plain files sorted by name and must hold no folders. An entry is "
      "named after its file. Refused, with the culprit named and no archive left behind: a nested "
      "folder, two names equal in upper case, a name over 256 bytes or one the extraction would "
      "refuse, an unreadable file, an archive of 2 GiB or more, an ARCHIVE that is one of the "
      "INPUTs. An existing ARCHIVE that is a device or a pipe is written in place; a symbolic "
      "link's target is replaced and the link stays. A progress bar is drawn on stderr "
      "for large inputs when stderr is a terminal.");
  pack->add_option("ARCHIVE", options->archive, "The archive to write (replaced if it exists)")
      ->required();
  pack->add_option("INPUT", options->inputs, "Files and folders to pack")->required();
  pack->add_flag("-q,--quiet", options->quiet, "No summary line on stdout");
  return Command{pack, [options](int codePage) {
                   return RunPackCommand(options->archive, options->inputs, codePage,
                                         options->quiet);
                 }};
}
