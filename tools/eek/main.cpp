// eek: the publisher's archive tool. Packs files into a payload archive and
// lists, tests and extracts archives the way the installer reads them.
#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "tools/eek/code_page.h"
#include "tools/eek/commands.h"
#include "tools/eek/host_platform.h"
#include "tools/eek/installer_payload.h"

namespace {

const int kUsageExitCode = 2;

// A usage error as one line: the unknown subcommand named when the first word
// that is not an option names none.
int ReportUsageError(const CLI::App& app, const std::vector<std::string>& arguments,
                     const CLI::ParseError& error) {
  std::string text = error.what();
  for (size_t i = 1; i < arguments.size(); ++i) {
    const std::string& word = arguments[i];
    if (word.empty() || word[0] == '-') {
      if (word == "--code-page") {
        ++i;  // its value is no subcommand
      }
      continue;
    }
    bool known = false;
    for (const CLI::App* command : app.get_subcommands({})) {
      known = known || command->get_name() == word;
    }
    if (!known) {
      text = "unknown command \"" + word +
             "\"; the commands are pack, list, test, extract and "
             "installer";
    }
    break;
  }
  std::replace(text.begin(), text.end(), '\n', ' ');
  std::fprintf(stderr, "eek: %s (see eek --help)\n", text.c_str());
  return kUsageExitCode;
}

// Output that could not be written (a full disk, a closed pipe) is a failure.
int CheckStandardOutput(int status) {
  if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
    std::fprintf(stderr, "eek: cannot write to standard output\n");
    return status == 0 ? 1 : status;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(
      "eek: packs, lists, tests and extracts payload archives, and makes installers of them.",
      "eek");
  app.require_subcommand(1);
  app.set_version_flag("--version", "eek " EEK_VERSION);
  app.fallthrough();  // subcommands inherit it: --code-page may follow the subcommand
  int codePage = kDefaultCodePage;
  app.add_option("--code-page", codePage,
                 "The ANSI code page of the machines the installer runs on, in which archive "
                 "names are stored: 1250 to 1258, 932, 936, 949 or 950")
      ->capture_default_str()
      ->check([](const std::string& text) {
        try {
          return IsKnownCodePage(std::stoi(text)) ? std::string() : "unknown code page " + text;
        } catch (const std::exception&) {
          return "not a code page number: " + text;
        }
      });
  // Options start with "-" everywhere: on Windows CLI11 would otherwise take a
  // path such as /tmp/x for an option.
  app.allow_windows_style_options(false);
  app.footer(
      "Archives are flat: every entry is a file name and the file's compressed bytes. Names are "
      "stored in the target's ANSI code page (--code-page, default 1252), converted from and to "
      "the host's UTF-8, and used in upper case with surrounding spaces removed. Exit status: 0 "
      "when "
      "all went well, 1 after a problem (reported on stderr), 2 for a usage error. "
      "'eek COMMAND --help' describes a command.");

  std::string archive;
  std::vector<std::string> inputs;
  std::string folder = ".";

  CLI::App* pack = app.add_subcommand("pack", "Packs files and folders into a new archive");
  pack->footer(
      "Packs files into a new archive (tagged layout, optimal parse). Each INPUT is a file or a "
      "folder; a folder adds its plain files sorted by name and must hold no folders. An entry is "
      "named after its file. Refused, with the culprit named and no archive left behind: a nested "
      "folder, two names equal in upper case, a name over 256 bytes or one the extraction would "
      "refuse, an unreadable file, an archive of 2 GiB or more. A progress bar is drawn on stderr "
      "for large inputs when stderr is a terminal.");
  pack->add_option("ARCHIVE", archive, "The archive to write (replaced if it exists)")->required();
  pack->add_option("INPUT", inputs, "Files and folders to pack")->required();

  CLI::App* list = app.add_subcommand("list", "Lists the entries with their sizes");
  list->footer(
      "Lists the entries, one a line: packed size, unpacked size, packed size as a percentage of "
      "the unpacked size (- for an empty file), and the name as the extraction uses it; then a "
      "total line. The unpacked "
      "size is the header's for the tagged layout; the fixed layout does not record it, so those "
      "entries are decoded to learn it.");
  std::vector<std::string> archives;
  list->add_option("ARCHIVE", archives, "The archives (or installers) to list")->required();

  CLI::App* test = app.add_subcommand("test", "Checks that every entry decodes soundly");
  test->footer(
      "Decodes every entry without writing anything and checks the archive: entries cut off by "
      "the end of the archive, damaged headers, bytes after the last entry, packed data that is "
      "not a sound token stream, an unpacked size different from the header's, names the "
      "extraction would refuse. Exits 0 when all is well, otherwise names the first damaged "
      "entry.");
  test->add_option("ARCHIVE", archives, "The archives (or installers) to test")->required();

  CLI::App* extract = app.add_subcommand("extract", "Writes every entry into a folder");
  extract->footer(
      "Writes every entry into a folder under its upper-case name, as the installer does; a later "
      "entry replaces an earlier one of the same name. Each file is written as a new file beside "
      "its name and renamed into place when whole, so an interrupted extraction leaves no partial "
      "file under an entry's name and nothing is written through a hard or symbolic link. A name "
      "that is not a plain file name inside the folder is skipped with a message, and so is an "
      "existing symbolic link, folder or other non-file of an entry's name and the archive "
      "itself; the rest is extracted and the exit status is 1.");
  extract->add_option("ARCHIVE", archive, "The archive (or installer) to extract")->required();
  extract->add_option("-C,--directory", folder, "The folder to write into (created if missing)")
      ->capture_default_str();
  ExtractOptions extractOptions{false, false};
  extract->add_flag(
      "-k,--keep-old-files", extractOptions.keepOld,
      "Leave existing files alone; each one kept is reported and the exit status is 1");
  extract->add_flag("-v,--verbose", extractOptions.verbose, "Name each file as it is written");

  std::string recordPath;
  CLI::App* checksum = app.add_subcommand(
      "checksum", "Prints an archive's length and CRC-32 as installers check them");
  checksum->footer(
      "Prints the length and CRC-32 (the checksum of zip and gzip) of a payload archive, as the "
      "installer checks them before it unpacks anything. --record writes the 16-byte payload "
      "check record that eek installer puts beside the payload as RCDATA \"PAYLOADCHECK\", for "
      "installers linked from a resource script.");
  checksum->add_option("ARCHIVE", archive, "The archive")->required();
  checksum->add_option("--record", recordPath, "The payload check record to write");

  InstallerRequest request;
  std::string checkPath;
  CLI::App* installer =
      app.add_subcommand("installer", "Makes an installer: a stub carrying a payload archive");
  installer->footer(
      "Packs the INPUTs as 'eek pack' does (or takes --archive exactly as it is, without "
      "repacking or name checks) and writes the archive into a copy of the installer stub as its "
      "payload resource (RCDATA 10), replacing a payload the stub may carry already; the stub's "
      "other resources stay as they are. Beside it goes the payload check record, RCDATA "
      "\"PAYLOADCHECK\": the payload's length and CRC-32, which the installer checks before it "
      "unpacks anything. The stub must be an unsigned x86 Windows GUI program "
      "carrying the icon group \"OSTREL\"; sign the finished installer, not the stub. "
      "--stub win32 and --stub win64 name the shipped stubs. The written installer holds the "
      "stub's sections and one resource section, nothing else. --product-name, --company, "
      "--file-version, --product-version, --description and --copyright write a version "
      "resource (VERSIONINFO, US English, UTF-16) that Windows shows in the file's properties; "
      "without them the installer carries the stub's, if any. The "
      "installer is read back before it is renamed into place; on any problem no file is left "
      "behind. --check describes an installer (format, machine, subsystem, icon, payload), "
      "checks the payload against its check record (RCDATA \"PAYLOADCHECK\": its length and "
      "CRC-32, which the installer checks before unpacking), lists the payload as 'eek list' "
      "does and tests it as 'eek test' does.");
  CLI::Option* stubOption = installer->add_option(
      "--stub", request.stubPath,
      "The installer stub: win32 or win64 for the shipped stubs (default: win32, "
      "OstrelTarvine64SetupStub.exe in eek's folder), or a stub's path");
  CLI::Option* outputOption =
      installer->add_option("-o,--output", request.outputPath, "The installer to write");
  CLI::Option* archiveOption = installer->add_option(
      "--archive", request.archivePath, "An archive to carry as it is, instead of INPUTs");
  CLI::Option* checkOption = installer->add_option(
      "--check", checkPath, "An installer to describe and test; nothing is written");
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
  checkOption->excludes(stubOption)->excludes(outputOption)->excludes(archiveOption);
  checkOption->excludes(inputsOption);
  for (CLI::Option* option : versionOptions) {
    checkOption->excludes(option);
  }
  archiveOption->excludes(inputsOption);
  installer->callback([&] {
    if (checkOption->count() > 0) {
      return;
    }
    if (outputOption->count() == 0) {
      throw CLI::RequiredError("-o,--output");
    }
    if (archiveOption->count() == 0 && inputsOption->count() == 0) {
      throw CLI::RequiredError("INPUT or --archive");
    }
  });

  std::vector<std::string> arguments = ProgramArguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& argument : arguments) {
    pointers.push_back(&argument[0]);
  }
  try {
    app.parse(static_cast<int>(pointers.size()), pointers.data());
  } catch (const CLI::CallForHelp& help) {
    return CheckStandardOutput(app.exit(help));
  } catch (const CLI::CallForAllHelp& help) {
    return CheckStandardOutput(app.exit(help));
  } catch (const CLI::CallForVersion& version) {
    return CheckStandardOutput(app.exit(version));
  } catch (const CLI::ParseError& error) {
    return ReportUsageError(app, arguments, error);
  }

  SetTargetCodePage(codePage);
  auto run = [&]() -> int {
    if (pack->parsed()) {
      return RunPackCommand(archive, inputs);
    }
    if (list->parsed() || test->parsed()) {
      // Every archive in turn; the status is the worst of them.
      int status = 0;
      for (const std::string& path : archives) {
        if (list->parsed() && archives.size() > 1) {
          std::printf("%s%s:\n", &path == &archives.front() ? "" : "\n", path.c_str());
        }
        int one = RunOnArchiveOrInstaller(
            path, [&](const std::string& archivePath, const std::string& shown) {
              return list->parsed() ? RunListCommand(archivePath, shown)
                                    : RunTestCommand(archivePath, shown);
            });
        status = std::max(status, one);
      }
      return status;
    }
    if (checksum->parsed()) {
      return RunChecksumCommand(archive, recordPath);
    }
    if (installer->parsed()) {
      return checkOption->count() > 0 ? RunInstallerCheck(checkPath) : RunInstallerCommand(request);
    }
    return RunOnArchiveOrInstaller(archive,
                                   [&](const std::string& archivePath, const std::string& shown) {
                                     return RunExtractCommand(archivePath, folder, extractOptions,
                                                              shown.empty() ? shown : archive);
                                   });
  };
  try {
    return CheckStandardOutput(run());
  } catch (const std::exception& error) {
    // Out of memory, or a name the platform cannot convert: still one line.
    std::fprintf(stderr, "eek: %s\n", error.what());
    return 1;
  }
}
