// The start of the setup program: by its quoted full path, with the current
// folder and the show command of the start; the final box before it.
#include "contract/installer_contract.h"
#include "fault_injection.h"
#include "frame/failure_record.h"
#include "frame_test_support.h"
#include "installer/setup_launch.h"
#include "installer_parts_support.h"

namespace {

// The demo setup program in the installation folder inside the scratch folder,
// and a program planted at the base folder's name up to its first space, as
// "<scratch>\<first word>.exe", that leaves "<first word>.exe.ran" when it
// runs: the system's search for an unquoted path with spaces runs it instead.
class SetupStartTest : public ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    ASSERT_TRUE(CreateDirectoryW((folder + Wide(TextFrom(kBaseFolderName))).c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(setupFolder().c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(BuildFile(DEMO_SETUP_EXE).c_str(), program().c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(BuildFile(START_MARKER_EXE).c_str(), plant().c_str(), FALSE));
  }
  std::wstring setupFolder() const { return folder + Wide(TextFrom(kInstallFolderName)); }
  std::wstring plant() const {
    std::wstring base = folder + Wide(TextFrom(kBaseFolderName));
    return base.substr(0, base.find(L' ', folder.size())) + L".exe";
  }
  std::wstring plantMark() const { return plant() + L".ran"; }
  std::wstring program() const { return setupFolder() + L"\\setup.exe"; }
};

}  // namespace

TEST_F(SetupStartTest, QuotedFullPathStartsTheSetupAndNotTheProgramPlantedAtTheSpace) {
  // The plant is in reach: an unquoted start of the same path runs it.
  std::wstring unquoted = program();
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &unquoted[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  CloseHandle(process.hThread);
  // The plant has let go of its mark once it has ended.
  ASSERT_EQ(WaitForSingleObject(process.hProcess, 60000), WAIT_OBJECT_0);
  CloseHandle(process.hProcess);
  ASSERT_TRUE(Exists(plantMark())) << "the plant proves nothing";
  ASSERT_TRUE(DeleteFileW(plantMark().c_str()));

  ASSERT_TRUE(SetCurrentDirectoryW(setupFolder().c_str()));
  uint32_t processId = StartProgram(Ansi(program()), SW_SHOWNORMAL);
  ASSERT_NE(processId, 0u);
  std::map<std::string, std::string> record = TakeStartRecord(setupFolder());
  EXPECT_EQ(record["process"], std::to_string(processId));
  EXPECT_EQ(record["program"], Ansi(program()).chars);
  EXPECT_EQ(record["command"], "\"" + std::string(Ansi(program()).chars) + "\"");
  EXPECT_EQ(record["folder"], Ansi(setupFolder()).chars);
  EXPECT_EQ(record["show"], "1");
  EXPECT_FALSE(Exists(plantMark()));

  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  ASSERT_NE(StartProgram(Ansi(program()), SW_SHOWMINNOACTIVE), 0u);
  record = TakeStartRecord(setupFolder());
  EXPECT_EQ(record["folder"], Ansi(folder).chars);
  EXPECT_EQ(record["show"], std::to_string(SW_SHOWMINNOACTIVE));
}

TEST_F(SetupStartTest, FinalBoxComesFirstThenSetupStartsInTheInstallFolder) {
  bool startedBeforeAnswer = true, topmost = false;
  InjectFault<&SystemCalls::createProcessW>();  // counts the starts, fails none
  std::vector<MessageBoxView> boxes =
      RunAnsweringBoxes([&] { LaunchSetupProgram(Ansi(setupFolder())); },
                        [&](const MessageBoxView& box) {
                          startedBeforeAnswer = CallCount<&SystemCalls::createProcessW>() != 0;
                          topmost = (GetWindowLongW(box.window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
                        });
  EXPECT_EQ(CallCount<&SystemCalls::createProcessW>(), 1);
  RemoveFaults();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, L"Ostrel Tarvine64 Setup Message");
  EXPECT_EQ(boxes[0].text,
            L"If the program setup screen does not come up, use the new desktop icon called "
            L"'Ostrel Tarvine64 Setup'");
  EXPECT_EQ(boxes[0].buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_FALSE(boxes[0].hasIcon);
  EXPECT_TRUE(topmost) << "a system-modal box stays on top";
  EXPECT_FALSE(startedBeforeAnswer);

  std::map<std::string, std::string> record = TakeStartRecord(setupFolder());
  EXPECT_EQ(record["program"], Ansi(program()).chars);
  EXPECT_EQ(record["folder"], Ansi(setupFolder()).chars);
  EXPECT_EQ(record["show"], "1");
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  EXPECT_EQ(current, setupFolder());
}

TEST_F(SetupStartTest, WithoutSetupProgramOnlyTheBoxIsShownAndNothingStarts) {
  ASSERT_TRUE(DeleteFileW(program().c_str()));
  FailureRecord failure = {};
  std::vector<MessageBoxView> boxes = RunAnsweringBoxes([&] {
    LaunchSetupProgram(Ansi(setupFolder()));
    failure = ReadLastFailure();
    EXPECT_EQ(StartProgram(Ansi(program()), SW_SHOWNORMAL), 0u);
  });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, L"Ostrel Tarvine64 Setup Message");
  // The start failed and was recorded, so no program at all started: the plant neither.
  EXPECT_EQ(failure.service, kStartProgramService);
  EXPECT_EQ(failure.errorCode, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}
