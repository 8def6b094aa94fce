// The desktop shortcut: its texts, the calls made on the shell automation
// object (through a recording stand-in) and the shortcut Wine's own object
// writes with them, read back through the shell's link interfaces.
#include <shlobj.h>
#include <shobjidl.h>

#include "frame_test_support.h"
#include "installer_parts_support.h"
#include "shortcut/desktop_shortcut.h"
#include "shortcut/desktop_shortcut_windows.h"
#include "shortcut/shortcut_texts.h"

namespace {

const char kName[] = "Ostrel Tarvine64 Setup";

// A stand-in for the shell object and the shortcut object it makes: every call
// is logged as "Name=value"; setters and Save answer `answer`.
struct Recorder {
  std::vector<std::string> calls;
  HRESULT answer = S_OK;
  bool refuseShortcut = false;
  IWshShell shell;
  IWshShortcut shortcut;
};
Recorder* recorder = nullptr;

void Log(const std::string& call) {
  recorder->calls.push_back(call);
}

HRESULT LogText(const char* property, BSTR text) {
  // A real BSTR carries its length in front of the characters.
  EXPECT_NE(text, nullptr) << property;
  EXPECT_EQ(SysStringLen(text), wcslen(text)) << property;
  Log(std::string(property) + "=" + Utf8(text));
  return recorder->answer;
}

ULONG STDMETHODCALLTYPE ReleaseShell(IWshShell*) {
  Log("Release shell");
  return 0;
}
HRESULT STDMETHODCALLTYPE CreateShortcut(IWshShell*, BSTR link, IDispatch** made) {
  LogText("CreateShortcut", link);
  *made = recorder->refuseShortcut ? nullptr : reinterpret_cast<IDispatch*>(&recorder->shortcut);
  return recorder->refuseShortcut ? E_FAIL : S_OK;
}
ULONG STDMETHODCALLTYPE ReleaseShortcut(IWshShortcut*) {
  Log("Release shortcut");
  return 0;
}
HRESULT STDMETHODCALLTYPE PutArguments(IWshShortcut*, BSTR text) {
  return LogText("Arguments", text);
}
HRESULT STDMETHODCALLTYPE PutDescription(IWshShortcut*, BSTR text) {
  return LogText("Description", text);
}
HRESULT STDMETHODCALLTYPE PutIconLocation(IWshShortcut*, BSTR text) {
  return LogText("IconLocation", text);
}
HRESULT STDMETHODCALLTYPE PutRelativePath(IWshShortcut*, BSTR text) {
  return LogText("RelativePath", text);
}
HRESULT STDMETHODCALLTYPE PutTargetPath(IWshShortcut*, BSTR text) {
  return LogText("TargetPath", text);
}
HRESULT STDMETHODCALLTYPE PutWindowStyle(IWshShortcut*, int style) {
  Log("WindowStyle=" + std::to_string(style));
  return recorder->answer;
}
HRESULT STDMETHODCALLTYPE PutWorkingDirectory(IWshShortcut*, BSTR text) {
  return LogText("WorkingDirectory", text);
}
HRESULT STDMETHODCALLTYPE Save(IWshShortcut*) {
  Log("Save");
  return recorder->answer;
}

// Entries the operation must not call stay empty and would crash the test.
IWshShellFunctions MakeShellFunctions() {
  IWshShellFunctions functions = {};
  functions.Release = ReleaseShell;
  functions.CreateShortcut = CreateShortcut;
  return functions;
}
IWshShortcutFunctions MakeShortcutFunctions() {
  IWshShortcutFunctions functions = {};
  functions.Release = ReleaseShortcut;
  functions.put_Arguments = PutArguments;
  functions.put_Description = PutDescription;
  functions.put_IconLocation = PutIconLocation;
  functions.put_RelativePath = PutRelativePath;
  functions.put_TargetPath = PutTargetPath;
  functions.put_WindowStyle = PutWindowStyle;
  functions.put_WorkingDirectory = PutWorkingDirectory;
  functions.Save = Save;
  return functions;
}
const IWshShellFunctions kShellFunctions = MakeShellFunctions();
const IWshShortcutFunctions kShortcutFunctions = MakeShortcutFunctions();

class ShortcutCallsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    state.shell.functions = &kShellFunctions;
    state.shortcut.functions = &kShortcutFunctions;
    recorder = &state;
  }
  void TearDown() override { recorder = nullptr; }

  int32_t Write(const char* desktop, const char* target, const char* folder) {
    return WriteDesktopShortcut(&state.shell, TextFrom(desktop), TextFrom(target), TextFrom(folder),
                                TextFrom(kName));
  }

  Recorder state;
};

std::wstring DesktopFolder() {
  wchar_t path[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_DESKTOP, nullptr, SHGFP_TYPE_CURRENT, path);
  return path;
}

}  // namespace

TEST(ShortcutTextsTest, TrailingBackslashesGoAndTheLinkIsJoinedWithOne) {
  EXPECT_STREQ(TrimTrailingBackslashes(TextFrom("C:\\Ostrel Setup\\\\")).chars, "C:\\Ostrel Setup");
  EXPECT_STREQ(TrimTrailingBackslashes(TextFrom("C:\\a\\b")).chars, "C:\\a\\b");
  EXPECT_STREQ(TrimTrailingBackslashes(TextFrom("\\\\\\")).chars, "");
  EXPECT_STREQ(BuildLinkPath(TextFrom("C:\\Users\\u\\Desktop"), TextFrom(kName)).chars,
               "C:\\Users\\u\\Desktop\\Ostrel Tarvine64 Setup.lnk");
  EXPECT_STREQ(BuildLinkPath(TextFrom("D:\\"), TextFrom(kName)).chars,
               "D:\\Ostrel Tarvine64 Setup.lnk");
  // A failed desktop query leaves the buffer empty.
  EXPECT_STREQ(BuildLinkPath(EmptyText(), TextFrom(kName)).chars, "\\Ostrel Tarvine64 Setup.lnk");
  EXPECT_STREQ(BuildIconLocation(TextFrom("C:\\x\\setup.exe")).chars, "C:\\x\\setup.exe,0");
}

TEST_F(ShortcutCallsTest, PropertiesAreSetInOrderAndEveryFailureIsPassedOver) {
  const std::vector<std::string> expected = {
      "CreateShortcut=D:\\Desk\\Ostrel Tarvine64 Setup.lnk",
      "Description=Ostrel Tarvine64 Setup",
      "WorkingDirectory=C:\\Ostrel Setup\\Tarvine64",
      "Arguments=",
      "IconLocation=C:\\Ostrel Setup\\Tarvine64\\\\setup.exe,0",
      "RelativePath=C:\\Ostrel Setup\\Tarvine64",
      "TargetPath=C:\\Ostrel Setup\\Tarvine64\\\\setup.exe",
      "WindowStyle=1",
      "Save",
      "Release shortcut",
      "Release shell",
  };
  for (HRESULT answer : {S_OK, E_FAIL}) {
    state.calls.clear();
    state.answer = answer;
    EXPECT_EQ(Write("D:\\Desk\\", "C:\\Ostrel Setup\\Tarvine64\\\\setup.exe",
                    "C:\\Ostrel Setup\\Tarvine64\\\\"),
              1);
    EXPECT_EQ(state.calls, expected) << "setters answering " << std::hex << answer;
  }
}

TEST_F(ShortcutCallsTest, WithoutAShortcutObjectOrAShellNothingElseHappens) {
  state.refuseShortcut = true;
  EXPECT_EQ(Write("", "C:\\t\\setup.exe", "\\\\"), 1);
  EXPECT_EQ(state.calls, (std::vector<std::string>{"CreateShortcut=\\Ostrel Tarvine64 Setup.lnk",
                                                   "Release shell"}));
  EXPECT_EQ(WriteDesktopShortcut(nullptr, TextFrom("D:\\Desk"), TextFrom("C:\\t\\setup.exe"),
                                 TextFrom("C:\\t"), TextFrom(kName)),
            1);
  EXPECT_EQ(ObtainShellObject(L"Ostrel.NoSuchAutomationObject"), nullptr);
}

// Writes to the prefix's desktop: runs under the installer lock.
using DesktopShortcutTest = ScratchFolderTest;

TEST_F(DesktopShortcutTest, ShortcutWrittenByTheShellReadsBackWithTheInstallerValues) {
  const std::wstring install = Path(L"Tarvine64");
  const std::wstring target = install + L"\\setup.exe";
  const std::wstring link = DesktopFolder() + L"\\Ostrel Tarvine64 Setup.lnk";
  ASSERT_TRUE(CreateDirectoryW(install.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(DemoSetupProgram().c_str(), target.c_str(), FALSE));
  DeleteFileW(link.c_str());

  EXPECT_EQ(CreateDesktopShortcut(Ansi(target), Ansi(install + L"\\\\"), TextFrom(kName)), 1);
  ASSERT_TRUE(Exists(link));

  IShellLinkW* shellLink = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                             reinterpret_cast<void**>(&shellLink)),
            S_OK);
  IPersistFile* file = nullptr;
  ASSERT_EQ(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
  ASSERT_EQ(file->Load(link.c_str(), STGM_READ), S_OK);
  wchar_t text[MAX_PATH];
  int index = -1, show = -1;
  EXPECT_EQ(shellLink->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH), S_OK);
  EXPECT_EQ(std::wstring(text), target);
  EXPECT_EQ(shellLink->GetWorkingDirectory(text, MAX_PATH), S_OK);
  EXPECT_EQ(std::wstring(text), install);
  EXPECT_EQ(shellLink->GetArguments(text, MAX_PATH), S_OK);
  EXPECT_EQ(std::wstring(text), L"");
  EXPECT_EQ(shellLink->GetIconLocation(text, MAX_PATH, &index), S_OK);
  EXPECT_EQ(std::wstring(text), target);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(shellLink->GetDescription(text, MAX_PATH), S_OK);
  EXPECT_EQ(std::wstring(text), L"Ostrel Tarvine64 Setup");
  EXPECT_EQ(shellLink->GetShowCmd(&show), S_OK);
  EXPECT_EQ(show, SW_SHOWNORMAL);
  file->Release();
  shellLink->Release();

  DeleteFileW(link.c_str());
}

// Wine 8's shortcut object lacks Load, FullName and the TargetPath and
// Description getters, and answers put_RelativePath with E_NOTIMPL: the slots
// of the function table are checked on the properties it keeps both ways.
TEST_F(DesktopShortcutTest, Wine8ShortcutObjectGivesBackThroughTheTableWhatWasSet) {
  IWshShell* shell = ObtainShellObject(L"WScript.Shell");
  ASSERT_NE(shell, nullptr);
  BSTR link = SysAllocString(Path(L"table.lnk").c_str());
  IDispatch* made = nullptr;
  ASSERT_EQ(shell->functions->CreateShortcut(shell, link, &made), S_OK);
  SysFreeString(link);
  IWshShortcut* shortcut = reinterpret_cast<IWshShortcut*>(made);
  const IWshShortcutFunctions* functions = shortcut->functions;
  auto roundTrip = [&](auto setter, auto getter, const wchar_t* value) {
    BSTR text = SysAllocString(value);
    EXPECT_EQ(setter(shortcut, text), S_OK) << Utf8(value);
    SysFreeString(text);
    BSTR back = nullptr;
    EXPECT_EQ(getter(shortcut, &back), S_OK) << Utf8(value);
    std::wstring copy = back != nullptr ? back : L"";
    SysFreeString(back);
    return copy;
  };
  EXPECT_EQ(roundTrip(functions->put_Arguments, functions->get_Arguments, L"-a b"), L"-a b");
  EXPECT_EQ(roundTrip(functions->put_WorkingDirectory, functions->get_WorkingDirectory, L"C:\\w"),
            L"C:\\w");
  // Wine writes the index after ", ", Windows after ",".
  std::wstring icon =
      roundTrip(functions->put_IconLocation, functions->get_IconLocation, L"C:\\i.exe,3");
  EXPECT_TRUE(icon == L"C:\\i.exe,3" || icon == L"C:\\i.exe, 3") << Utf8(icon);
  int style = 0;
  EXPECT_EQ(functions->put_WindowStyle(shortcut, SW_SHOWMINNOACTIVE), S_OK);
  EXPECT_EQ(functions->get_WindowStyle(shortcut, &style), S_OK);
  EXPECT_EQ(style, SW_SHOWMINNOACTIVE);
  functions->Release(shortcut);
  shell->functions->Release(shell);
}
