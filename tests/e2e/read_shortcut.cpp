// read_shortcut: loads a shortcut file through the shell's link object
// (IShellLinkW + IPersistFile) and prints what Windows programs read from it,
// one "key=value" line each (UTF-8):
//   target working arguments icon icon_index description show
// Exit code 0, or 1 when the file cannot be loaded.
//
// usage: read_shortcut.exe <link.lnk>
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
  int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  std::string out(length > 0 ? length - 1 : 0, '\0');
  if (length > 1) {
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], length, nullptr, nullptr);
  }
  return out;
}

void Print(const char* key, const std::string& value) {
  std::printf("%s=%s\n", key, value.c_str());
}

// A getter's text, or "<error 0x...>" when it fails.
template <typename Getter>
std::string TextOf(Getter get) {
  wchar_t text[MAX_PATH] = {};
  HRESULT result = get(text);
  if (FAILED(result)) {
    char error[32];
    std::snprintf(error, sizeof(error), "<error 0x%08lx>", static_cast<unsigned long>(result));
    return error;
  }
  return Utf8(text);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  if (argc != 2) {
    std::fputs("usage: read_shortcut <link.lnk>\n", stderr);
    return 2;
  }
  CoInitialize(nullptr);
  IShellLinkW* link = nullptr;
  IPersistFile* file = nullptr;
  int status = 1;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link))) &&
      SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
      SUCCEEDED(file->Load(argv[1], STGM_READ))) {
    status = 0;
    int iconIndex = -1, show = -1;
    Print("target",
          TextOf([&](wchar_t* t) { return link->GetPath(t, MAX_PATH, nullptr, SLGP_RAWPATH); }));
    Print("working", TextOf([&](wchar_t* t) { return link->GetWorkingDirectory(t, MAX_PATH); }));
    Print("arguments", TextOf([&](wchar_t* t) { return link->GetArguments(t, MAX_PATH); }));
    Print("icon",
          TextOf([&](wchar_t* t) { return link->GetIconLocation(t, MAX_PATH, &iconIndex); }));
    Print("icon_index", std::to_string(iconIndex));
    Print("description", TextOf([&](wchar_t* t) { return link->GetDescription(t, MAX_PATH); }));
    link->GetShowCmd(&show);
    Print("show", std::to_string(show));
  } else {
    std::fputs("read_shortcut: cannot load the shortcut\n", stderr);
  }
  if (file != nullptr) {
    file->Release();
  }
  if (link != nullptr) {
    link->Release();
  }
  CoUninitialize();
  return status;
}
