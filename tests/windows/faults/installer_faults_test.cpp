// The whole installer sequence run in the test process, with faults injected
// into its Windows calls: what the user is shown, what is left in the
// installation folder and on the desktop, and whether setup.exe is started.
// The payload (RCDATA 10 of this program) holds DATA.TXT, several 2 KB write
// pieces long, then SETUP.EXE, the demo setup program, then ZÜRICH.TXT, whose
// name has a byte that code page 932 reads as another letter; its check
// record names code page 1252. Every run's exit code is checked: 1 for a complete
// installation, 2 for a run that ended without one.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <cstdlib>
#include <cwchar>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "contract/installer_contract.h"
#include "fault_injection.h"
#include "frame_test_support.h"
#include "installer/installer_sequence.h"
#include "installer_parts_support.h"
#include "shortcut/wsh_interfaces_windows.h"
#include "texts/installer_texts.h"

namespace {

const std::wstring kBaseFolder = L"C:" + Wide(TextFrom(kBaseFolderName));
const std::wstring kInstallFolder = L"C:" + Wide(TextFrom(kInstallFolderName));
const std::wstring kArchiveName = Wide(TextFrom(kTemporaryArchiveName));
// In code page 932 its 0xDC reads as U+FF9C, a katakana.
const wchar_t kForeignName[] = L"Z\u00DCRICH.TXT";
// The final message as the user reads it: "caption: text".
const wchar_t kFinalBox[] =
    L"Ostrel Tarvine64 Setup Message: If the program setup screen does not come up, use the new "
    L"desktop icon called 'Ostrel Tarvine64 Setup'";

struct RunResult {
  int32_t exitCode;
  std::vector<std::wstring> boxes;  // "caption: text", in the order shown
  std::map<std::wstring, std::string> installed;
  bool linked;
  std::vector<std::wstring> rootLinks;  // shortcuts found in the root of a drive
  int32_t starts;                       // programs started (CreateProcessW calls not failed)
  int32_t resourceLookups;              // FindResourceA calls
};

std::wstring DesktopLink() {
  wchar_t desktop[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, 0, desktop))) {
    return L"";
  }
  return std::wstring(desktop) + L"\\Ostrel Tarvine64 Setup.lnk";
}

// Removes the installation folders and the shortcut; a setup program that a
// run started may still be ending with its current folder inside them, so the
// removal is tried again for a while. False when the base folder stays.
bool RemoveInstallation() {
  DeleteFileW(DesktopLink().c_str());
  for (int attempt = 0; attempt < 600; ++attempt, Sleep(50)) {  // 30 s, for a loaded machine
    for (const std::wstring& name : SystemOrder(kInstallFolder)) {
      std::wstring path = kInstallFolder + L"\\" + name;
      SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
      DeleteFileW(path.c_str());
    }
    RemoveDirectoryW(kInstallFolder.c_str());
    RemoveDirectoryW(kBaseFolder.c_str());
    if (GetFileAttributesW(kBaseFolder.c_str()) == INVALID_FILE_ATTRIBUTES) {
      return true;
    }
  }
  return false;
}

class InstallerFaultTest : public ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    result = RunResult{};
    ASSERT_TRUE(RemoveInstallation()) << "the base folder stays from an earlier run";
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    expected[L"DATA.TXT"] = ReadWholeFile(BuildFile(PAYLOAD_DIR "/DATA.TXT"));
    expected[L"SETUP.EXE"] = ReadWholeFile(BuildFile(PAYLOAD_DIR "/SETUP.EXE"));
    expected[kForeignName] = ReadWholeFile(BuildFile(PAYLOAD_DIR "/") + kForeignName);
    ASSERT_GT(expected[L"DATA.TXT"].size(), 6000u);
  }
  void TearDown() override {
    RemoveFaults();
    if (result.starts > 0) {
      TakeStartRecord(kInstallFolder);  // ends the started setup program
    }
    // The sequence leaves this process in the installation folder, which
    // could not be removed while it stands there.
    SetCurrentDirectoryW(folder.c_str());
    RemoveInstallation();
    ScratchFolderTest::TearDown();
  }

  // Runs the sequence with the faults armed beforehand; every box is
  // answered with OK. Counts the starts of programs and the lookups of
  // resources.
  RunResult& Run() {
    CountCalls<&SystemCalls::createProcessW>();
    CountCalls<&SystemCalls::findResourceA>();
    int32_t exitCode = 0;
    std::vector<MessageBoxView> shown = RunAnsweringBoxes([&exitCode] {
      CoInitialize(nullptr);
      exitCode = RunInstallerSequence(GetModuleHandleW(nullptr), nullptr, L"", SW_SHOWDEFAULT);
      CoUninitialize();
    });
    result.exitCode = exitCode;
    result.starts =
        CallCount<&SystemCalls::createProcessW>() - FailedCount<&SystemCalls::createProcessW>();
    result.resourceLookups = CallCount<&SystemCalls::findResourceA>();
    RemoveFaults();
    for (const MessageBoxView& box : shown) {
      result.boxes.push_back(box.caption + L": " + box.text);
    }
    for (const std::wstring& name : SystemOrder(kInstallFolder)) {
      if (name != L"setup-started.txt") {
        result.installed[name] = ReadWholeFile(kInstallFolder + L"\\" + name);
      }
    }
    result.linked = Exists(DesktopLink());
    // A shortcut in the root of a drive, where no desktop was found.
    wchar_t drives[512];
    DWORD length = GetLogicalDriveStringsW(511, drives);
    for (const wchar_t* root = drives; root < drives + length && *root != 0;
         root += wcslen(root) + 1) {
      std::wstring link = std::wstring(root) + L"Ostrel Tarvine64 Setup.lnk";
      if (Exists(link)) {
        result.rootLinks.push_back(link);
        DeleteFileW(link.c_str());
      }
    }
    return result;
  }

  // The temporary archive in the user's temporary folder, and whether a
  // temporary archive is left in either place.
  static std::wstring FallbackArchive() {
    wchar_t temporary[MAX_PATH + 1];
    DWORD length = GetTempPathW(MAX_PATH + 1, temporary);
    std::wstring folder(temporary, length);
    if (!folder.empty() && folder.back() != L'\\') {
      folder += L'\\';
    }
    return folder + kArchiveName;
  }
  bool ArchiveLeft() const { return Exists(Path(kArchiveName)) || Exists(FallbackArchive()); }

  std::wstring Unwritten(const std::wstring& path) const {
    return L"Ostrel Tarvine64 Setup: Unable to write \"" + path + L"\" !";
  }

  std::map<std::wstring, std::string> expected;

  // How the installation folder differs from the payload, by name: the files
  // missing, those not whole and those not of the payload. Empty when the
  // payload is installed whole.
  std::string InstalledDifference() const {
    std::string difference;
    for (const auto& [name, content] : expected) {
      auto found = result.installed.find(name);
      if (found == result.installed.end() || found->second != content) {
        difference +=
            (found == result.installed.end() ? " missing " : " not whole ") + ToUtf8(name);
      }
    }
    for (const auto& [name, content] : result.installed) {
      if (expected.count(name) == 0) {
        difference += " not of the payload " + ToUtf8(name);
      }
    }
    return difference;
  }
  RunResult result = {};
};

// A shell object whose CreateShortcut fails: the real object with a copy of
// its function table that has that one entry replaced.
IWshShellFunctions patchedShell;
HRESULT STDMETHODCALLTYPE FailCreateShortcut(IWshShell*, BSTR, IDispatch** shortcut) {
  *shortcut = nullptr;
  return E_FAIL;
}
HRESULT WINAPI CreateShellWithoutShortcuts(REFCLSID id, IUnknown* outer, DWORD context,
                                           REFIID interfaceId, void** object) {
  HRESULT made = kSystemFunctions.coCreateInstance(id, outer, context, interfaceId, object);
  if (SUCCEEDED(made)) {
    IWshShell* shell = static_cast<IWshShell*>(*object);
    patchedShell = *shell->functions;
    patchedShell.CreateShortcut = FailCreateShortcut;
    shell->functions = &patchedShell;
  }
  return made;
}

// A close that fails as a file system reports a deferred write failure (a
// full disk) at the close: the handle is closed all the same. Only the first
// close fails.
bool closeFailed = false;
BOOL WINAPI CloseReportingDiskFullOnce(HANDLE handle) {
  BOOL closed = kSystemFunctions.closeHandle(handle);
  if (closeFailed) {
    return closed;
  }
  closeFailed = true;
  SetLastError(ERROR_DISK_FULL);
  return FALSE;
}

// A scanner that takes the temporary archive away as soon as the payload copy
// has closed it, before the unpacking looks for it.
HANDLE payloadHandle = INVALID_HANDLE_VALUE;
char payloadName[MAX_PATH];
HANDLE WINAPI CreateNotingPayload(LPCSTR name, DWORD access, DWORD share,
                                  LPSECURITY_ATTRIBUTES security, DWORD disposition,
                                  DWORD attributes, HANDLE pattern) {
  payloadHandle =
      kSystemFunctions.createFileA(name, access, share, security, disposition, attributes, pattern);
  lstrcpynA(payloadName, name, MAX_PATH);
  return payloadHandle;
}
BOOL WINAPI CloseThenQuarantinePayload(HANDLE handle) {
  BOOL closed = kSystemFunctions.closeHandle(handle);
  if (handle == payloadHandle) {
    payloadHandle = INVALID_HANDLE_VALUE;
    DeleteFileA(payloadName);
  }
  return closed;
}

// A close of the product file DATA.TXT that reports a deferred write failure
// (the handle is closed all the same); every other close is the system's.
HANDLE dataHandle = INVALID_HANDLE_VALUE;
HANDLE WINAPI CreateNotingData(LPCWSTR name, DWORD access, DWORD share,
                               LPSECURITY_ATTRIBUTES security, DWORD disposition, DWORD attributes,
                               HANDLE pattern) {
  HANDLE made =
      kSystemFunctions.createFileW(name, access, share, security, disposition, attributes, pattern);
  std::wstring path(name);
  if (path.size() >= 9 && path.compare(path.size() - 9, 9, L"\\DATA.TXT") == 0) {
    dataHandle = made;
  }
  return made;
}
BOOL WINAPI CloseFailingForData(HANDLE handle) {
  BOOL closed = kSystemFunctions.closeHandle(handle);
  if (handle != dataHandle) {
    return closed;
  }
  dataHandle = INVALID_HANDLE_VALUE;
  SetLastError(ERROR_DISK_FULL);
  return FALSE;
}

// A temporary archive left by an earlier run in the start folder (the current
// directory of a run): no archive, and longer than the payload.
void LeaveStaleArchive() {
  std::ofstream(kTemporaryArchiveName, std::ios::binary) << std::string(1 << 20, 'x');
}

}  // namespace

TEST_F(InstallerFaultTest, WithoutFaultsEverythingIsInstalledLinkedAndStarted) {
  Run();
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_FALSE(ArchiveLeft());
  EXPECT_EQ(result.boxes, std::vector<std::wstring>{kFinalBox});
  EXPECT_EQ(InstalledDifference(), "");
  EXPECT_TRUE(result.linked);
  EXPECT_EQ(result.starts, 1);
}

TEST_F(InstallerFaultTest, ProgressThreadFailureIsShownAndTheInstallationGoesOn) {
  InjectFault<&SystemCalls::createThread>({1, kFromThenOn, 0, ERROR_NOT_ENOUGH_MEMORY});
  Run();
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.boxes, (std::vector<std::wstring>{
                              L"Ostrel Setup: Could Not Create Progress Thread", kFinalBox}));
  EXPECT_EQ(InstalledDifference(), "");
  EXPECT_TRUE(result.linked);
  EXPECT_EQ(result.starts, 1);
}

// A failure on the payload's way to the installation folder. Where the start
// folder cannot take the temporary archive, the user's temporary folder does,
// and the product installs whole. Otherwise the box names what went wrong (the
// last place tried for the archive), no file that is not whole is left,
// nothing is linked or started, and the run ends with 2. No temporary archive
// is left in either place. The payload is found and checked once, whichever
// folder takes it.
TEST_F(InstallerFaultTest, CopyOrExtractionFailureStopsBeforeLinkingAndStarting) {
  enum Box {
    kInstalled,
    kStartArchiveUnwritten,
    kFallbackArchiveUnwritten,
    kDataUnwritten,
    kDamaged,
    kCodePageMissing,
    kResourceMissing
  };
  struct Case {
    const char* what;
    void (*arm)();
    Box box;
    std::vector<std::wstring> left;  // files that came out whole first
  } cases[] = {
      // A stale archive that the clean-up lists but cannot delete (the
      // deletion's own search fails) is written over whole, not unpacked.
      {"stale archive not deleted",
       [] {
         LeaveStaleArchive();
         InjectFault<&SystemCalls::findFirstFileW>(
             {2, kOnce, (uintptr_t)INVALID_HANDLE_VALUE, ERROR_ACCESS_DENIED});
       },
       kInstalled,
       {}},
      {"payload resource not found",
       [] {
         InjectFault<&SystemCalls::findResourceA>(
             {1, kFromThenOn, 0, ERROR_RESOURCE_TYPE_NOT_FOUND});
       },
       kResourceMissing,
       {}},
      // A payload that the system cannot load is as missing as one that is
      // not there.
      {"payload resource not loaded",
       [] {
         InjectFault<&SystemCalls::loadResource>({1, kFromThenOn, 0, ERROR_NOT_ENOUGH_MEMORY});
       },
       kResourceMissing,
       {}},
      {"payload file not created in the start folder",
       [] {
         InjectFault<&SystemCalls::createFileA>({1, kOnce, (uintptr_t)INVALID_HANDLE_VALUE, 5});
       },
       kInstalled,
       {}},
      {"payload write fails in the start folder (full)",
       [] {
         InjectFault<&SystemCalls::writeFile>({1, kOnce, FALSE, ERROR_DISK_FULL});
       },
       kInstalled,
       {}},
      {"payload close fails in the start folder",
       [] {
         closeFailed = false;
         systemCalls.closeHandle = CloseReportingDiskFullOnce;
       },
       kInstalled,
       {}},
      {"payload file created in neither folder",
       [] {
         InjectFault<&SystemCalls::createFileA>(
             {1, kFromThenOn, (uintptr_t)INVALID_HANDLE_VALUE, 5});
       },
       kFallbackArchiveUnwritten,
       {}},
      {"payload write fails in both folders",
       [] {
         InjectFault<&SystemCalls::writeFile>({1, kFromThenOn, FALSE, ERROR_DISK_FULL});
       },
       kFallbackArchiveUnwritten,
       {}},
      {"no temporary folder, payload file not created",
       [] {
         InjectFault<&SystemCalls::getTempPathW>({1, kFromThenOn, 0, ERROR_PATH_NOT_FOUND});
         InjectFault<&SystemCalls::createFileA>({1, kOnce, (uintptr_t)INVALID_HANDLE_VALUE, 5});
       },
       kStartArchiveUnwritten,
       {}},
      // Written whole, then gone or locked when the unpacking starts: nothing
      // is unpacked, the box names the archive.
      {"archive gone before the unpacking lists it",
       [] {
         systemCalls.createFileA = CreateNotingPayload;
         systemCalls.closeHandle = CloseThenQuarantinePayload;
       },
       kStartArchiveUnwritten,
       {}},
      {"archive not opened",
       [] {
         InjectFault<&SystemCalls::createFileW>({1, kOnce, (uintptr_t)INVALID_HANDLE_VALUE, 5});
       },
       kStartArchiveUnwritten,
       {}},
      {"output not created",
       [] {
         InjectFault<&SystemCalls::createFileW>({2, kOnce, (uintptr_t)INVALID_HANDLE_VALUE, 5});
       },
       kDataUnwritten,
       {L"SETUP.EXE"}},
      {"disk full halfway through an entry",
       [] {
         InjectFault<&SystemCalls::writeFile>({3, kFromThenOn, FALSE, ERROR_DISK_FULL});
       },
       kDataUnwritten,
       {}},
      {"close of a product file fails (full)",
       [] {
         dataHandle = INVALID_HANDLE_VALUE;
         systemCalls.createFileW = CreateNotingData;
         systemCalls.closeHandle = CloseFailingForData;
       },
       kDataUnwritten,
       {L"SETUP.EXE"}},
      {"read fails in the data",
       [] {
         InjectFault<&SystemCalls::readFile>({3, kFromThenOn, FALSE, ERROR_READ_FAULT});
       },
       kDamaged,
       {}},
      {"seek fails",
       [] {
         InjectFault<&SystemCalls::setFilePointer>(
             {1, kFromThenOn, INVALID_SET_FILE_POINTER, ERROR_SEEK});
       },
       kDamaged,
       {}},
      // A system whose code page is 932 runs the payload of 1252 names: they
      // are converted from 1252 (ZÜRICH.TXT keeps its Ü), or, where the
      // system lacks it, nothing is touched.
      {"names in another code page than the system's",
       [] {
         InjectFault<&SystemCalls::getAcp>({1, kFromThenOn, 932, 0});
       },
       kInstalled,
       {}},
      {"names in a code page the system lacks",
       [] {
         InjectFault<&SystemCalls::getAcp>({1, kFromThenOn, 932, 0});
         InjectFault<&SystemCalls::isValidCodePage>({1, kFromThenOn, FALSE, 0});
       },
       kCodePageMissing,
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    c.arm();
    Run();
    EXPECT_FALSE(ArchiveLeft());
    // The code page of the names, the payload and its check record.
    if (c.box != kCodePageMissing && c.box != kResourceMissing) {
      EXPECT_EQ(result.resourceLookups, 3);
    }
    if (c.box == kInstalled) {
      EXPECT_EQ(result.boxes, std::vector<std::wstring>{kFinalBox});
      EXPECT_EQ(InstalledDifference(), "");
      EXPECT_TRUE(result.linked);
      EXPECT_EQ(result.starts, 1);
      EXPECT_EQ(result.exitCode, 1);
      continue;
    }
    const std::wstring box =
        c.box == kDamaged                    ? L"Ostrel Tarvine64 Setup: Payload Damaged!"
        : c.box == kDataUnwritten            ? Unwritten(kInstallFolder + L"\\DATA.TXT")
        : c.box == kFallbackArchiveUnwritten ? Unwritten(FallbackArchive())
        : c.box == kCodePageMissing ? L"Ostrel Tarvine64 Setup: Code Page 1252 Not Installed!"
        : c.box == kResourceMissing ? L"Ostrel Tarvine64 Setup: Resource Not Found!"
                                    : Unwritten(folder + L"\\" + kArchiveName);
    ASSERT_EQ(result.boxes, std::vector<std::wstring>{box});
    for (const auto& [name, content] : result.installed) {
      bool whole = expected.count(name) != 0 && expected.at(name) == content;
      EXPECT_TRUE(whole) << "left behind not whole: " << ToUtf8(name);
    }
    for (const std::wstring& name : c.left) {
      EXPECT_EQ(result.installed.count(name), 1u) << ToUtf8(name);
    }
    if (c.box == kCodePageMissing) {
      EXPECT_FALSE(Exists(kBaseFolder)) << "folders prepared before the code page check";
    }
    EXPECT_FALSE(result.linked);
    EXPECT_EQ(result.starts, 0);
    EXPECT_EQ(result.exitCode, 2);
  }
}

// Failures after the files are in place, and before: what still happens.
TEST_F(InstallerFaultTest, FolderLinkAndStartFailuresEachStopOnlyTheirOwnStep) {
  InjectFault<&SystemCalls::createDirectoryW>({1, kFromThenOn, FALSE, ERROR_ACCESS_DENIED});
  Run();
  EXPECT_EQ(result.boxes, std::vector<std::wstring>{L"Ostrel Tarvine64 Setup: Unable to create \"" +
                                                    kBaseFolder + L"\" !"});
  EXPECT_TRUE(result.installed.empty());
  EXPECT_FALSE(result.linked);
  EXPECT_EQ(result.starts, 0);
  EXPECT_EQ(result.exitCode, 2);

  struct Case {
    const char* what;
    void (*arm)();
    bool linked;
    bool started;
    bool told;  // the final message shown
  } cases[] = {
      {"no shell object",
       [] {
         InjectFault<&SystemCalls::coCreateInstance>({1, kFromThenOn, (uintptr_t)E_OUTOFMEMORY, 0});
       },
       false, true, true},
      {"no shortcut object", [] { systemCalls.coCreateInstance = CreateShellWithoutShortcuts; },
       false, true, true},
      // No file in the root of a drive when the desktop folder is unknown.
      {"no desktop folder",
       [] {
         InjectFault<&SystemCalls::shGetFolderPathW>({1, kFromThenOn, (uintptr_t)E_FAIL, 0});
       },
       false, true, true},
      {"setup not started",
       [] {
         InjectFault<&SystemCalls::createProcessW>({1, kFromThenOn, FALSE, ERROR_ACCESS_DENIED});
       },
       true, false, true},
      // The setup program still starts when the box cannot be shown.
      {"final message not shown",
       [] {
         InjectFault<&SystemCalls::messageBoxW>({1, kFromThenOn, 0, ERROR_NOT_ENOUGH_MEMORY});
       },
       true, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TearDown();
    SetUp();
    c.arm();
    Run();
    EXPECT_EQ(result.boxes,
              c.told ? std::vector<std::wstring>{kFinalBox} : std::vector<std::wstring>{});
    EXPECT_EQ(InstalledDifference(), "");
    EXPECT_EQ(result.linked, c.linked);
    EXPECT_TRUE(result.rootLinks.empty()) << ToUtf8(result.rootLinks.front());
    // The installation is complete whether it is linked and started or not.
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.starts, c.started ? 1 : 0);
  }
}

// The system failures that end the process at once: exit code 255, no box.
TEST_F(InstallerFaultTest, FatalErrorsEndTheProcessWith255AndNoBox) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  for (DWORD error : {ERROR_ARENA_TRASHED, ERROR_INVALID_BLOCK, ERROR_BAD_ENVIRONMENT}) {
    SCOPED_TRACE(error);
    EXPECT_EXIT(
        {
          InjectFault<&SystemCalls::createDirectoryW>({1, kOnce, FALSE, error});
          CoInitialize(nullptr);
          RunInstallerSequence(GetModuleHandleW(nullptr), nullptr, L"", SW_SHOWDEFAULT);
          std::exit(1);
        },
        ::testing::ExitedWithCode(255), "");
  }
}
