// What the installer would skip or fail on, judged on a payload's names before
// it ships: a name the safe-name rule refuses, an installed path longer than
// the installer's file open takes, two entries of one name. Names are
// normalised names in the target code page.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "tools/eek/pack_inputs.h"

// The folder the installer unpacks into (contract/installer_contract.h) on the
// usual drive, C:, as the note about a path that is too long shows it.
std::string InstalledFolderText();

// Empty when the installer would write the name (of codePage), otherwise why
// it would not.
std::string FindInstalledNameProblem(int codePage, const std::string& name);

// Entries seen so far, by normalised name, with the label of the first one.
struct InstalledNames {
  std::map<std::string, std::string> seen;
};

// Empty when the name is new, otherwise "same name as <first label> once
// upper-cased"; the first entry of every name is remembered under its label.
std::string NoteInstalledName(InstalledNames* names, const std::string& name,
                              const std::string& label);

// Whether the normalised name is the SETUP.EXE the installer starts.
bool IsSetupName(const std::string& name);

// An installer's payload must hold a file, and the SETUP.EXE the installer
// starts unless allowNoSetup (--no-setup): false after reporting.
bool CheckInstallerPayload(const std::vector<PackInput>& files, bool allowNoSetup);
// Why a payload without SETUP.EXE is refused.
extern const char kNoSetupProblem[];
