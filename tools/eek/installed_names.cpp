// The payload's names against the installer's rule, path limit and folder.
#include "tools/eek/installed_names.h"

#include "contract/installer_contract.h"
#include "tools/eek/code_page.h"
#include "tools/eek/messages.h"

std::string InstalledFolderText() {
  return std::string("C:") + kInstallFolderName;
}

std::string FindInstalledNameProblem(int codePage, const std::string& name) {
  std::u16string units;
  if (!DecodeAnsi(codePage, name, &units)) {
    return "the name is not valid text in code page " + std::to_string(codePage);
  }
  if (!IsSafeNameInCodePage(codePage, name)) {
    return "the installer refuses the name \"" + ShownName(codePage, name) +
           "\" (not a plain file name: a reserved device name, a character such as "
           "\\ / : * ? \" < > |, a control character, or a final dot or space)";
  }
  const std::string folder = InstalledFolderText();
  size_t pathUnits = folder.size() + 1 + units.size();  // the folder is ASCII
  if (pathUnits > static_cast<size_t>(kInstalledPathLimit)) {
    return "the installed path " + folder + "\\" + ShownName(codePage, name) + " is " +
           std::to_string(pathUnits) + " UTF-16 units long; the installer writes at most " +
           std::to_string(kInstalledPathLimit);
  }
  return std::string();
}

std::string NoteInstalledName(InstalledNames* names, const std::string& name,
                              const std::string& label) {
  auto [where, added] = names->seen.emplace(name, label);
  return added ? std::string() : "same name as " + where->second + " once upper-cased";
}

const char kNoSetupProblem[] =
    "the payload has no SETUP.EXE, which the installer starts and links on the desktop; "
    "add it, or give --no-setup for a payload that is meant to have none";

bool IsSetupName(const std::string& name) {
  return name == "SETUP.EXE";
}

bool CheckInstallerPayload(const std::vector<PackInput>& files, bool allowNoSetup) {
  if (files.empty()) {
    ReportProblem("the inputs hold no file; an installer's payload needs at least SETUP.EXE");
    return false;
  }
  for (const PackInput& file : files) {
    if (IsSetupName(file.normalisedName)) {
      return true;
    }
  }
  if (!allowNoSetup) {
    ReportProblem(kNoSetupProblem);
  }
  return allowNoSetup;
}
