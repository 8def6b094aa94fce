// StartCommonControls.
#include "installer/common_controls_windows.h"

#include <windows.h>

#include "frame/dll_search_windows.h"

namespace {

typedef void(WINAPI* InitCommonControlsCall)();
typedef void (*AnyCall)();

}  // namespace

void StartCommonControls() {
  HMODULE library = LoadSystemLibrary(L"comctl32.dll");
  if (library == nullptr) {
    return;
  }
  // Through the generic function type, which casts to and from every other.
  InitCommonControlsCall initCommonControls = reinterpret_cast<InitCommonControlsCall>(
      reinterpret_cast<AnyCall>(GetProcAddress(library, "InitCommonControls")));
  if (initCommonControls != nullptr) {
    initCommonControls();
  }
}
