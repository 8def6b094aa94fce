// Fuzz target: the fuzz input is a stored entry name. It is normalised for
// both layouts and judged by the safe-name rule, and the raw bytes are judged
// as well. Checked, besides the sanitizers (the input and the output buffers
// have exactly the size the calls may use):
//   - the trimming equals the reference (spaces per layout); the name judged is
//     the trimmed one upper-cased as a code page 1252 system does (the C
//     library's Unicode mapping);
//   - the safe-name rule agrees with its reference statement, both ways, so
//     that no unsafe name passes and no safe name is lost;
//   - a name the rule accepts, joined to the destination folder and resolved
//     as Windows resolves paths, names exactly one plain file directly in that
//     folder, spelled as the name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/container.h"
#include "archive/entry_name.h"
#include "contract/installer_contract.h"
#include "fuzz/fuzz_check.h"
#include "fuzz/reference_names.h"

namespace {

const std::string kDestination = std::string("C:") + kInstallFolderName;

void CheckSafeNameRule(const char* name, int32_t length) {
  const std::string text(name, static_cast<size_t>(length));
  bool safe = IsSafeEntryName(WidenCodePage1252(name, length).data(), length);
  FUZZ_CHECK(safe == ReferenceIsSafeName(text), "the safe-name rule");
  if (!safe) {
    return;
  }
  std::string upperName = text;
  for (char& c : upperName) {
    if (c >= 'a' && c <= 'z') {
      c = static_cast<char>(c - 'a' + 'A');
    }
  }
  const std::string destination = ResolveJoinedPath(kDestination, "");
  FUZZ_CHECK(ResolveJoinedPath(kDestination, text) == destination + "\\" + upperName,
             "an accepted name names a file directly in the folder");
  FUZZ_CHECK(
      ResolveJoinedPath(kDestination + std::string("\\\\"), text) == destination + "\\" + upperName,
      "trailing backslashes of the folder do not matter");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) {
    return 0;
  }
  const char* stored = reinterpret_cast<const char*>(data);
  const int32_t length = static_cast<int32_t>(size);
  const std::string storedText(stored, size);
  for (int32_t layout : {kFixedLayout, kTaggedLayout}) {
    int32_t first = -1;
    int32_t trimmedLength = TrimEntryName(stored, length, layout, &first);
    FUZZ_CHECK(first >= 0 && trimmedLength >= 0 && first + trimmedLength <= length,
               "the trimmed name lies within the input");
    const std::string trimmed(stored + first, static_cast<size_t>(trimmedLength));
    FUZZ_CHECK(trimmed == ReferenceTrimName(storedText, layout), "trimming");
    // The name the installer writes on a code page 1252 system.
    const std::string normalised = ReferenceUpperCase(trimmed);
    CheckSafeNameRule(normalised.data(), static_cast<int32_t>(normalised.size()));
  }
  CheckSafeNameRule(stored, length);
  return 0;
}
