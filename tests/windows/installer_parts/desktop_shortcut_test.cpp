// The desktop shortcut: its texts, the calls it makes on the shell object
// (through a recording stand-in), and the file Wine's shell object writes,
// read back through the shell's link interfaces. Wine 8's object answers
// put_RelativePath with E_NOTIMPL, so the file holds no relative path there.
#include <shlobj.h>
#include <shobjidl.h>

#include <type_traits>

#include "frame_test_support.h"
#include "installer_parts_support.h"
#include "shortcut/desktop_shortcut.h"
#include "shortcut/desktop_shortcut_windows.h"
#include "shortcut/shortcut_texts.h"

namespace {

const char kName[] = "Ostrel Tarvine64 Setup";

// The stand-in logs every call as "Name=value"; setters and Save answer `answer`.
std::vector<std::string> calls;
HRESULT answer = S_OK;
bool refuseShortcut = false;
IWshShortcut recordingShortcut;

template <const char* name>
HRESULT STDMETHODCALLTYPE LogText(IWshShortcut*, BSTR text) {
  // A real BSTR carries its length in front of its characters.
  EXPECT_EQ(SysStringLen(text), wcslen(text)) << name;
  calls.push_back(std::string(name) + "=" + ToUtf8(text));
  return answer;
}
HRESULT STDMETHODCALLTYPE CreateShortcut(IWshShell*, BSTR link, IDispatch** made) {
  calls.push_back("CreateShortcut=" + ToUtf8(link));
  *made = refuseShortcut ? nullptr : reinterpret_cast<IDispatch*>(&recordingShortcut);
  return refuseShortcut ? E_FAIL : S_OK;
}
template <typename Self>
ULONG STDMETHODCALLTYPE Release(Self*) {
  calls.push_back(std::is_same<Self, IWshShell>::value ? "Release shell" : "Release shortcut");
  return 0;
}
HRESULT STDMETHODCALLTYPE PutWindowStyle(IWshShortcut*, int style) {
  calls.push_back("WindowStyle=" + std::to_string(style));
  return answer;
}
HRESULT STDMETHODCALLTYPE Save(IWshShortcut*) {
  calls.push_back("Save");
  return answer;
}
WideText WideFrom(const std::wstring& text) {
  WideText wide = {0, {0}};
  AppendWide(&wide, text.c_str());
  return wide;
}
constexpr char kArguments[] = "Arguments", kDescription[] = "Description",
               kIconLocation[] = "IconLocation", kRelativePath[] = "RelativePath",
               kTargetPath[] = "TargetPath", kWorkingDirectory[] = "WorkingDirectory";

// Entries the operation must not use stay empty: calling one crashes the test.
class ShortcutCallsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    shellFunctions.Release = Release<IWshShell>;
    shellFunctions.CreateShortcut = CreateShortcut;
    shortcutFunctions.Release = Release<IWshShortcut>;
    shortcutFunctions.put_Arguments = LogText<kArguments>;
    shortcutFunctions.put_Description = LogText<kDescription>;
    shortcutFunctions.put_IconLocation = LogText<kIconLocation>;
    shortcutFunctions.put_RelativePath = LogText<kRelativePath>;
    shortcutFunctions.put_TargetPath = LogText<kTargetPath>;
    shortcutFunctions.put_WorkingDirectory = LogText<kWorkingDirectory>;
    shortcutFunctions.put_WindowStyle = PutWindowStyle;
    shortcutFunctions.Save = Save;
    shell.functions = &shellFunctions;
    recordingShortcut.functions = &shortcutFunctions;
    calls.clear();
  }
  IWshShellFunctions shellFunctions = {};
  IWshShortcutFunctions shortcutFunctions = {};
  IWshShell shell;
};

}  // namespace

TEST_F(ShortcutCallsTest, PropertiesAreSetInOrderAndEveryFailureIsPassedOver) {
  const std::vector<std::string> expected = {
      "CreateShortcut=D:\\Łukasz\\Ostrel Tarvine64 Setup.lnk",
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
  for (HRESULT result : {S_OK, E_FAIL}) {
    calls.clear();
    answer = result;
    // A desktop path outside the ANSI code page, with two trailing "\", and
    // a working folder with two as well.
    EXPECT_EQ(WriteDesktopShortcut(&shell, WideFrom(L"D:\\Łukasz\\\\"),
                                   TextFrom("C:\\Ostrel Setup\\Tarvine64\\\\setup.exe"),
                                   TextFrom("C:\\Ostrel Setup\\Tarvine64\\\\"), TextFrom(kName)),
              1);
    EXPECT_EQ(calls, expected) << "setters answering " << std::hex << result;
  }
}

TEST_F(ShortcutCallsTest, WithoutAShortcutObjectADesktopOrAShellNothingElseHappens) {
  refuseShortcut = true;
  EXPECT_EQ(WriteDesktopShortcut(&shell, WideFrom(L"D:\\"), TextFrom("C:\\t\\setup.exe"),
                                 TextFrom("\\\\"), TextFrom(kName)),
            1);
  refuseShortcut = false;
  EXPECT_EQ(calls, (std::vector<std::string>{"CreateShortcut=D:\\Ostrel Tarvine64 Setup.lnk",
                                             "Release shell"}));
  // No desktop folder: no shortcut in the root of a drive, nothing asked of
  // the shell object but its release.
  calls.clear();
  EXPECT_EQ(WriteDesktopShortcut(&shell, WideFrom(L""), TextFrom("C:\\t\\setup.exe"),
                                 TextFrom("C:\\t"), TextFrom(kName)),
            1);
  EXPECT_EQ(calls, std::vector<std::string>{"Release shell"});
  EXPECT_EQ(WriteDesktopShortcut(nullptr, WideFrom(L""), EmptyText(), EmptyText(), TextFrom(kName)),
            1);
  EXPECT_EQ(ObtainShellObject(L"Ostrel.NoSuchAutomationObject"), nullptr);
  EXPECT_STREQ(TrimTrailingBackslashes(TextFrom("\\\\\\")).chars, "");
}

// Changes the user's desktop folder in the prefix: runs under the installer
// lock. The desktop is redirected, as Windows does for a folder moved in
// Explorer, to one under a profile name outside the ANSI code page (1252),
// and set back afterwards.
class DesktopShortcutTest : public ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kUserShellFolders, 0, nullptr, 0,
                              KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    DWORD size = sizeof(earlier);
    hadEarlier = RegQueryValueExW(key, L"Desktop", nullptr, &earlierType,
                                  reinterpret_cast<BYTE*>(earlier), &size) == ERROR_SUCCESS;
    earlierSize = size;
    desktop = Path(L"\u0141ukasz");
    ASSERT_TRUE(CreateDirectoryW(desktop.c_str(), nullptr));
    ASSERT_EQ(RegSetValueExW(key, L"Desktop", 0, REG_EXPAND_SZ,
                             reinterpret_cast<const BYTE*>(desktop.c_str()),
                             static_cast<DWORD>((desktop.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);
  }
  void TearDown() override {
    if (hadEarlier) {
      RegSetValueExW(key, L"Desktop", 0, earlierType, reinterpret_cast<const BYTE*>(earlier),
                     earlierSize);
    } else {
      RegDeleteValueW(key, L"Desktop");
    }
    RegCloseKey(key);
    ScratchFolderTest::TearDown();
  }
  static constexpr const wchar_t* kUserShellFolders =
      L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
  HKEY key = nullptr;
  bool hadEarlier = false;
  DWORD earlierType = 0, earlierSize = 0;
  wchar_t earlier[MAX_PATH * 2] = {};
  std::wstring desktop;
};

TEST_F(DesktopShortcutTest, ShortcutWrittenByTheShellReadsBackWithTheInstallerValues) {
  const std::wstring install = Path(L"Tarvine64"), target = install + L"\\setup.exe";
  wchar_t queried[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_DESKTOP, nullptr, SHGFP_TYPE_CURRENT, queried);
  ASSERT_EQ(queried, desktop) << "the desktop folder could not be redirected";
  const std::wstring link = desktop + L"\\Ostrel Tarvine64 Setup.lnk";
  ASSERT_TRUE(CreateDirectoryW(install.c_str(), nullptr));
  ASSERT_TRUE(CopyFileW(BuildFile(DEMO_SETUP_EXE).c_str(), target.c_str(), FALSE));
  DeleteFileW(link.c_str());

  EXPECT_EQ(CreateDesktopShortcut(Ansi(target), Ansi(install + L"\\\\"), TextFrom(kName)), 1);
  IShellLinkW* shellLink = nullptr;
  IPersistFile* file = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                             reinterpret_cast<void**>(&shellLink)),
            S_OK);
  ASSERT_EQ(shellLink->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
  ASSERT_EQ(file->Load(link.c_str(), STGM_READ), S_OK);
  wchar_t text[MAX_PATH];
  int index = -1, show = -1;
  EXPECT_EQ(shellLink->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH), S_OK);
  EXPECT_EQ(text, target);
  EXPECT_EQ(shellLink->GetWorkingDirectory(text, MAX_PATH), S_OK);
  EXPECT_EQ(text, install);
  EXPECT_EQ(shellLink->GetArguments(text, MAX_PATH), S_OK);
  EXPECT_EQ(text, std::wstring());
  EXPECT_EQ(shellLink->GetIconLocation(text, MAX_PATH, &index), S_OK);
  EXPECT_EQ(text, target);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(shellLink->GetDescription(text, MAX_PATH), S_OK);
  EXPECT_EQ(text, std::wstring(L"Ostrel Tarvine64 Setup"));
  EXPECT_EQ(shellLink->GetShowCmd(&show), S_OK);
  EXPECT_EQ(show, SW_SHOWNORMAL);
  file->Release();
  shellLink->Release();
  DeleteFileW(link.c_str());
}
