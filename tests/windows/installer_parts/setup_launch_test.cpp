// The start of the setup program: by its quoted full path, in the current
// folder, with the show command; the final box first.
#include "frame/failure_record.h"
#include "frame_test_support.h"
#include "installer/setup_launch.h"
#include "installer_parts_support.h"

namespace {

// A setup program in "<scratch>\Ostrel Setup\Tarvine64", and a planted
// program "<scratch>\Ostrel.exe" that an unquoted start of the setup's path
// would run instead: the system tries the path up to each space as a program
// first (a folder of that name in the way hides the plant from Wine).
class SetupStartTest : public ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    setupFolder = Path(L"Ostrel Setup\\Tarvine64");
    program = setupFolder + L"\\setup.exe";
    planted = Path(L"Ostrel.exe");
    ASSERT_TRUE(CreateDirectoryW(Path(L"Ostrel Setup").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(setupFolder.c_str(), nullptr));
    ASSERT_TRUE(CopyFileW(DemoSetupProgram().c_str(), program.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(StartMarkerProgram().c_str(), planted.c_str(), FALSE));
  }

  void TearDown() override {
    for (DWORD processId : started) {
      EndProgram(processId);
    }
    ScratchFolderTest::TearDown();
  }

  // The record of the setup program's start; remembers it to end it later.
  std::map<std::string, std::string> StartRecord() {
    std::map<std::string, std::string> record = WaitForStartRecord(setupFolder);
    if (record.count("process") != 0) {
      started.push_back(std::stoul(record["process"]));
    }
    DeleteFileW((setupFolder + L"\\setup-started.txt").c_str());
    return record;
  }

  std::wstring setupFolder, program, planted;
  std::vector<DWORD> started;
};

}  // namespace

TEST_F(SetupStartTest, QuotedPathStartsTheSetupAndNotTheProgramPlantedAtTheSpace) {
  // The plant is in reach: the system's own search for an unquoted path runs it.
  std::wstring unquoted = program;
  STARTUPINFOW startup = {};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process = {};
  ASSERT_TRUE(CreateProcessW(nullptr, &unquoted[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &process));
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  ASSERT_TRUE(WaitForFile(planted + L".ran", 15000)) << "the plant does not prove anything";
  ASSERT_TRUE(DeleteFileW((planted + L".ran").c_str()));

  ASSERT_TRUE(SetCurrentDirectoryW(setupFolder.c_str()));
  uint32_t processId = StartProgram(Ansi(program), SW_SHOWNORMAL);
  ASSERT_NE(processId, 0u);
  std::map<std::string, std::string> record = StartRecord();
  EXPECT_EQ(record["process"], std::to_string(processId));
  EXPECT_EQ(record["program"], Utf8(program));
  EXPECT_EQ(record["command"], "\"" + Utf8(program) + "\"");
  EXPECT_EQ(record["folder"], Utf8(setupFolder));
  EXPECT_EQ(record["show"], "1");
  EXPECT_FALSE(Exists(planted + L".ran"));
}

TEST_F(SetupStartTest, ProgramGetsTheShowCommandAndTheCurrentFolderOfTheStart) {
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  ASSERT_NE(StartProgram(Ansi(program), SW_SHOWMINNOACTIVE), 0u);
  std::map<std::string, std::string> record = StartRecord();
  EXPECT_EQ(record["folder"], Utf8(folder));
  EXPECT_EQ(record["show"], std::to_string(SW_SHOWMINNOACTIVE));
}

TEST_F(SetupStartTest, MissingProgramGivesZeroAndARecordedFailure) {
  FailureRecord before = ReadLastFailure();
  EXPECT_EQ(StartProgram(Ansi(setupFolder + L"\\absent.exe"), SW_SHOWNORMAL), 0u);
  FailureRecord after = ReadLastFailure();
  EXPECT_EQ(after.count, before.count + 1);
  EXPECT_EQ(after.service, kStartProgramService);
  EXPECT_EQ(after.errorCode, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
  EXPECT_FALSE(Exists(planted + L".ran"));
}

TEST_F(SetupStartTest, FinalBoxComesFirstThenSetupStartsInTheInstallFolder) {
  bool startedBeforeAnswer = true;
  bool topmost = false;
  std::vector<MessageBoxView> boxes =
      RunAnsweringBoxes([&] { LaunchSetupProgram(Ansi(setupFolder)); },
                        [&](const MessageBoxView& box) {
                          Sleep(300);  // time enough for a start that would not wait
                          startedBeforeAnswer = Exists(setupFolder + L"\\setup-started.txt");
                          topmost = (GetWindowLongW(box.window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
                        });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, L"Ostrel Tarvine64 Setup Message");
  EXPECT_EQ(boxes[0].text,
            L"If the program setup screen does not come up, use the new desktop icon called "
            L"'Ostrel Tarvine64 Setup'");
  EXPECT_EQ(boxes[0].buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_FALSE(boxes[0].hasIcon);
  EXPECT_TRUE(topmost) << "a system-modal box stays on top";
  EXPECT_FALSE(startedBeforeAnswer);

  std::map<std::string, std::string> record = StartRecord();
  EXPECT_EQ(record["program"], Utf8(program));
  EXPECT_EQ(record["folder"], Utf8(setupFolder));
  EXPECT_EQ(record["show"], "1");
  wchar_t current[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, current);
  EXPECT_EQ(std::wstring(current), setupFolder);
  EXPECT_FALSE(Exists(planted + L".ran"));
}

TEST_F(SetupStartTest, WithoutSetupProgramOnlyTheFinalBoxIsShownAndNothingStarts) {
  ASSERT_TRUE(DeleteFileW(program.c_str()));
  FailureRecord afterLaunch = {};
  std::vector<MessageBoxView> boxes = RunAnsweringBoxes([&] {
    LaunchSetupProgram(Ansi(setupFolder));
    afterLaunch = ReadLastFailure();
  });
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, L"Ostrel Tarvine64 Setup Message");
  // The start failed, so no program at all was started: the plant neither.
  EXPECT_EQ(afterLaunch.service, kStartProgramService);
  EXPECT_EQ(afterLaunch.errorCode, static_cast<uint32_t>(ERROR_FILE_NOT_FOUND));
}
