// Expansion and checks of eek pack's inputs.
#include "tools/eek/pack_inputs.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

#include "archive/archive_writer.h"
#include "archive/container.h"
#include "archive/entry_name.h"
#include "tools/eek/messages.h"

namespace fs = std::filesystem;

namespace {

bool AddFile(const fs::path& path, std::vector<PackInput>* files) {
  std::error_code error;
  fs::file_status status = fs::status(path, error);
  if (fs::is_directory(status)) {
    ReportProblem(path.string() + ": a folder inside an input folder; archives are flat");
    return false;
  }
  if (error || !fs::is_regular_file(status)) {
    ReportProblem(path.string() + ": " + (error ? error.message() : "not a plain file"));
    return false;
  }
  int64_t size = static_cast<int64_t>(fs::file_size(path, error));
  if (error) {
    ReportProblem(path.string() + ": " + error.message());
    return false;
  }
  PackInput input;
  input.path = path.string();
  input.storedName = path.filename().string();
  input.size = size;
  files->push_back(input);
  return true;
}

bool AddFolder(const fs::path& folder, std::vector<PackInput>* files) {
  std::error_code error;
  std::vector<std::string> names;
  for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  if (error) {
    ReportProblem(folder.string() + ": cannot list the folder: " + error.message());
    return false;
  }
  // std::string compares as unsigned bytes, which is the order wanted.
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (!AddFile(folder / name, files)) {
      return false;
    }
  }
  return true;
}

bool CheckName(PackInput* input, std::map<std::string, std::string>* seen) {
  const std::string& stored = input->storedName;
  std::string error;
  if (!CheckEntryName(stored, &error)) {
    ReportProblem(input->path + ": " + error);
    return false;
  }
  int32_t length = static_cast<int32_t>(stored.size());
  char normalised[kMaxEntryNameLength + 1];
  int32_t normalisedLength = NormaliseEntryName(stored.data(), length, kTaggedLayout, normalised);
  input->normalisedName.assign(normalised, static_cast<size_t>(normalisedLength));
  if (!IsSafeEntryName(normalised, normalisedLength)) {
    ReportProblem(input->path + ": the extraction would refuse the name \"" +
                  PrintableName(input->normalisedName) +
                  "\" (not a plain file name: a reserved device name, a character such as "
                  "\\ / : * ? \" < > |, a control character, or a final dot or space)");
    return false;
  }
  auto [where, added] = seen->emplace(input->normalisedName, input->path);
  if (!added) {
    ReportProblem(input->path + ": same name as " + where->second + " once upper-cased (" +
                  PrintableName(input->normalisedName) + ")");
    return false;
  }
  return true;
}

}  // namespace

bool CollectPackInputs(const std::vector<std::string>& inputs, std::vector<PackInput>* files) {
  for (const std::string& input : inputs) {
    std::error_code error;
    fs::file_status status = fs::status(input, error);
    if (!fs::exists(status)) {
      ReportProblem(input + ": " + (error ? error.message() : "no such file or folder"));
      return false;
    }
    bool added = fs::is_directory(status) ? AddFolder(input, files) : AddFile(input, files);
    if (!added) {
      return false;
    }
  }
  std::map<std::string, std::string> seen;
  for (PackInput& file : *files) {
    if (!CheckName(&file, &seen)) {
      return false;
    }
  }
  return true;
}
