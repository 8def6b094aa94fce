// Expansion and checks of eek pack's inputs.
#include "tools/eek/pack_inputs.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "archive/writing/archive_writer.h"
#include "archive/container.h"
#include "archive/entry_name.h"
#include "tools/eek/code_page.h"
#include "tools/eek/host_path.h"
#include "tools/eek/installed_names.h"
#include "tools/eek/messages.h"

namespace fs = std::filesystem;

namespace {

bool AddFile(const fs::path& path, std::vector<PackInput>* files) {
  std::error_code error;
  fs::file_status status = fs::status(path, error);
  if (fs::is_directory(status)) {
    ReportProblem(HostPathText(path) + ": a folder inside an input folder; archives are flat");
    return false;
  }
  if (error || !fs::is_regular_file(status)) {
    ReportProblem(HostPathText(path) + ": " + (error ? error.message() : "not a plain file"));
    return false;
  }
  int64_t size = static_cast<int64_t>(fs::file_size(path, error));
  if (error) {
    ReportProblem(HostPathText(path) + ": " + error.message());
    return false;
  }
  PackInput input;
  input.path = HostPathText(path);
  input.storedName = HostPathText(path.filename());
  input.size = size;
  files->push_back(input);
  return true;
}

bool AddFolder(const fs::path& folder, std::vector<PackInput>* files) {
  std::error_code error;
  std::vector<std::string> names;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    names.push_back(HostPathText(it->path().filename()));
  }
  if (error) {
    ReportProblem(HostPathText(folder) + ": cannot list the folder: " + error.message());
    return false;
  }
  // std::string compares as unsigned bytes, which is the order wanted.
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (!AddFile(folder / HostPath(name), files)) {
      return false;
    }
  }
  return true;
}

bool CheckName(int codePage, PackInput* input, InstalledNames* seen) {
  std::string hostName = input->storedName;
  if (!HostNameToAnsi(codePage, hostName, &input->storedName)) {
    ReportProblem(input->path + ": code page " + std::to_string(codePage) +
                  " cannot represent the name \"" + ShownHostName(hostName) +
                  "\"; rename the file or choose the code page with --code-page");
    return false;
  }
  const std::string& stored = input->storedName;
  std::string error;
  if (!CheckEntryName(stored, &error)) {
    ReportProblem(input->path + ": " + error);
    return false;
  }
  int32_t first = 0;
  int32_t length =
      TrimEntryName(stored.data(), static_cast<int32_t>(stored.size()), kTaggedLayout, &first);
  input->normalisedName = UpperCaseNameInCodePage(codePage, stored.substr(first, length));
  std::string problem = FindInstalledNameProblem(codePage, input->normalisedName);
  if (problem.empty()) {
    problem = NoteInstalledName(seen, input->normalisedName, input->path);
    problem += problem.empty() ? "" : " (" + ShownName(codePage, input->normalisedName) + ")";
  }
  if (!problem.empty()) {
    ReportProblem(input->path + ": " + problem);
    return false;
  }
  return true;
}

}  // namespace

bool CollectPackInputs(const std::vector<std::string>& inputs, int codePage,
                       std::vector<PackInput>* files) {
  for (const std::string& input : inputs) {
    std::error_code error;
    fs::file_status status = fs::status(HostPath(input), error);
    if (!fs::exists(status)) {
      ReportProblem(input + ": " + (error ? error.message() : "no such file or folder"));
      return false;
    }
    bool added = fs::is_directory(status) ? AddFolder(HostPath(input), files)
                                          : AddFile(HostPath(input), files);
    if (!added) {
      return false;
    }
  }
  InstalledNames seen;
  for (PackInput& file : *files) {
    if (!CheckName(codePage, &file, &seen)) {
      return false;
    }
  }
  return true;
}
