#include <windows.h>
#include <shlobj.h>

#include <cstring>

#include "frame/system_calls_windows.h"
#include "frame/text_conversion_windows.h"
#include "shortcut/desktop_shortcut.h"
#include "shortcut/desktop_shortcut_windows.h"
#include "shortcut/shortcut_texts.h"

namespace {

typedef HRESULT(STDMETHODCALLTYPE* TextSetter)(IWshShortcut* self, BSTR text);

// Hands text to one setter in a BSTR of its own, freed when the call returns,
// so that the object never keeps a pointer into the caller's texts.
HRESULT SetShortcutText(IWshShortcut* shortcut, TextSetter setter, const AnsiText& text) {
  WideText wide = ToWide(text);
  BSTR copy = SysAllocStringLen(wide.units, static_cast<UINT>(wide.length));
  HRESULT result = setter(shortcut, copy);
  SysFreeString(copy);
  return result;
}

// The current user's desktop folder; empty when the query fails. Asked for in
// UTF-16: a profile path may hold characters that the ANSI code page lacks.
WideText QueryDesktopFolder() {
  WCHAR buffer[MAX_PATH + 1];
  std::memset(buffer, 0, sizeof(buffer));
  SHGetFolderPathW(nullptr, CSIDL_DESKTOP, nullptr, SHGFP_TYPE_CURRENT, buffer);
  WideText desktop = {0, {0}};
  AppendWide(&desktop, buffer);
  return desktop;
}

// desktopPath (not empty) without its trailing "\", then "\", shortcutName and
// ".lnk".
WideText BuildLinkPath(const WideText& desktopPath, const AnsiText& shortcutName) {
  WideText link = desktopPath;
  int32_t kept = link.length;
  while (kept > 0 && link.units[kept - 1] == L'\\') {
    --kept;
  }
  TruncateWide(&link, kept);
  AppendWide(&link, L"\\");
  AppendWide(&link, ToWide(shortcutName).units);
  AppendWide(&link, L".lnk");
  return link;
}

// Makes, fills and saves the shortcut object at linkPath. Failures of the
// setters and of Save are passed over: each property is tried in turn.
void FillShortcut(IWshShell* shell, const WideText& linkPath, const AnsiText& targetPath,
                  const AnsiText& folder, const AnsiText& shortcutName) {
  BSTR link = SysAllocStringLen(linkPath.units, static_cast<UINT>(linkPath.length));
  IDispatch* made = nullptr;
  HRESULT result = shell->functions->CreateShortcut(shell, link, &made);
  SysFreeString(link);
  if (made == nullptr) {
    return;
  }
  // The dispatch reference is the dual IWshShortcut interface itself.
  IWshShortcut* shortcut = reinterpret_cast<IWshShortcut*>(made);
  if (SUCCEEDED(result)) {
    const IWshShortcutFunctions* functions = shortcut->functions;
    SetShortcutText(shortcut, functions->put_Description, shortcutName);
    SetShortcutText(shortcut, functions->put_WorkingDirectory, folder);
    SetShortcutText(shortcut, functions->put_Arguments, EmptyText());
    SetShortcutText(shortcut, functions->put_IconLocation, BuildIconLocation(targetPath));
    SetShortcutText(shortcut, functions->put_RelativePath, folder);
    SetShortcutText(shortcut, functions->put_TargetPath, targetPath);
    functions->put_WindowStyle(shortcut, SW_SHOWNORMAL);
    functions->Save(shortcut);
  }
  shortcut->functions->Release(shortcut);
}

}  // namespace

IWshShell* ObtainShellObject(const WCHAR* progId) {
  CLSID shellClass;
  if (CLSIDFromProgID(progId, &shellClass) != S_OK) {
    return nullptr;
  }
  void* shell = nullptr;
  if (FAILED(CoCreateInstance(shellClass, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER,
                              kWshShellInterfaceId, &shell))) {
    return nullptr;
  }
  return static_cast<IWshShell*>(shell);
}

int32_t WriteDesktopShortcut(IWshShell* shell, const WideText& desktopPath,
                             const AnsiText& targetPath, const AnsiText& workingFolder,
                             const AnsiText& shortcutName) {
  if (shell == nullptr) {
    return 1;
  }
  // Without a desktop folder the link path would be "\<name>.lnk", a file in
  // the root of the current drive that no user looks for: no shortcut then.
  if (desktopPath.length == 0) {
    shell->functions->Release(shell);
    return 1;
  }
  FillShortcut(shell, BuildLinkPath(desktopPath, shortcutName), targetPath,
               TrimTrailingBackslashes(workingFolder), shortcutName);
  shell->functions->Release(shell);
  return 1;
}

int32_t CreateDesktopShortcut(const AnsiText& targetPath, const AnsiText& workingFolder,
                              const AnsiText& shortcutName) {
  IWshShell* shell = ObtainShellObject(L"WScript.Shell");
  return WriteDesktopShortcut(shell, QueryDesktopFolder(), targetPath, workingFolder, shortcutName);
}
