// Installers read as archives, as 7-Zip and unzip read self-extractors: list,
// test and extract take an installer's payload (its RCDATA 10 resource) in the
// place of an archive.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Installers are read whole; the largest one eek installer makes carries a
// payload just under 2 GiB in a stub of at most 256 MiB.
extern const int64_t kInstallerSizeLimit;

// Writes payload to a temporary file and runs command on it, which names it
// shownName; the file is removed afterwards. Returns the command's exit code,
// or 1 after reporting a copy that could not be made.
int RunOnPayloadCopy(const std::vector<uint8_t>& payload, const std::string& shownName,
                     const std::function<int(const std::string& archivePath,
                                             const std::string& shownName)>& command);

// Runs command on path itself when it is an archive, or on a temporary copy of
// the payload when it is an executable ("MZ"), naming it "PATH (payload)".
// Returns the command's exit code, or 1 after reporting an executable without
// a payload; a payload that its check record does not match (which the
// installer refuses) is reported, still given to the command, and makes the
// exit code at least 1.
int RunOnArchiveOrInstaller(const std::string& path,
                            const std::function<int(const std::string& archivePath,
                                                    const std::string& shownName)>& command);
