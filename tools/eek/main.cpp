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
      std::string names;
      std::vector<const CLI::App*> commands = app.get_subcommands({});
      for (size_t k = 0; k < commands.size(); ++k) {
        names += (k == 0                     ? ""
                  : k + 1 == commands.size() ? " and "
                                             : ", ") +
                 commands[k]->get_name();
      }
      text = "unknown command \"" + word + "\"; the commands are " + names;
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
  app.set_version_flag(
      "--version", [] { return VersionText(EEK_VERSION); },
      "Print the version, and the default stub with its SHA-256, and exit");
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

  // Each command registers its own options and runs them.
  std::vector<Command> commands = {AddPackCommand(&app),     AddListCommand(&app),
                                   AddTestCommand(&app),     AddExtractCommand(&app),
                                   AddChecksumCommand(&app), AddInstallerCommand(&app)};

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

  auto run = [&]() -> int {
    for (const Command& command : commands) {
      if (command.app->parsed()) {
        return command.run(codePage);
      }
    }
    return kUsageExitCode;  // require_subcommand(1) lets no other line through
  };
  try {
    return CheckStandardOutput(run());
  } catch (const std::exception& error) {
    // Out of memory, or a name the platform cannot convert: still one line.
    std::fprintf(stderr, "eek: %s\n", error.what());
    return 1;
  }
}
