// The installation drive, and the base and installation folders: made,
// verified by listing (with the box when that fails) and cleared.
#include <algorithm>

#include "frame_test_support.h"
#include "installer/install_drive.h"
#include "installer/install_folders.h"
#include "installer_parts_support.h"

namespace {

std::string DriveOf(const char* windowsDirectory) {
  return DriveOfWindowsDirectory(TextFrom(windowsDirectory)).chars;
}

}  // namespace

TEST(InstallDriveTest, DriveIsTheTextUpToTheFirstColonUnlessTheColonComesFirst) {
  EXPECT_EQ(DriveOf("C:\\Windows"), "C:");
  EXPECT_EQ(DriveOf("E:\\WINNT"), "E:");
  EXPECT_EQ(DriveOf("AB:\\odd:name"), "AB:");
  EXPECT_EQ(DriveOf("\\\\server\\share\\Windows"), "C:");
  EXPECT_EQ(DriveOf(":\\Windows"), "C:");
  EXPECT_EQ(DriveOf(""), "C:");
  char windows[MAX_PATH] = {};
  ASSERT_NE(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
  EXPECT_EQ(ChooseInstallDrive().chars, DriveOf(windows)) << windows;
}

using FolderPreparationTest = ScratchFolderTest;

TEST_F(FolderPreparationTest, FoldersAreMadeThenKeptAndOnlyPlainFilesAreCleared) {
  const std::wstring base = Path(L"Ostrel Setup"), install = base + L"\\Tarvine64";
  AnsiText prepared = EmptyText();
  auto prepare = [&] { EXPECT_TRUE(PrepareInstallFoldersOn(Ansi(folder), &prepared)); };
  EXPECT_TRUE(RunAnsweringBoxes(prepare).empty());
  EXPECT_EQ(Wide(prepared), install);

  CreateFileWith(base + L"\\base-file");
  for (int i = 0; i < 6; ++i) {
    CreateFileWith(install + L"\\old" + std::to_wstring(i));
  }
  CreateFileWith(install + L"\\hidden", FILE_ATTRIBUTE_HIDDEN);
  CreateFileWith(install + L"\\system", FILE_ATTRIBUTE_SYSTEM);
  CreateFolderWith(install + L"\\sub");
  CreateFileWith(install + L"\\sub\\inside");
  // The first plain file listed is read-only: the files after it still go.
  std::vector<std::wstring> order = SystemOrder(install);
  std::wstring readOnly = *std::find_if(order.begin(), order.end(), [](const std::wstring& name) {
    return name.rfind(L"old", 0) == 0;
  });
  ASSERT_TRUE(SetFileAttributesW((install + L"\\" + readOnly).c_str(), FILE_ATTRIBUTE_READONLY));

  EXPECT_TRUE(RunAnsweringBoxes(prepare).empty());
  std::vector<std::wstring> left = SystemOrder(install);
  std::vector<std::wstring> kept = {L"hidden", L"system", L"sub", readOnly};
  std::sort(left.begin(), left.end());
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(left, kept);
  EXPECT_TRUE(Exists(install + L"\\sub\\inside"));
  EXPECT_TRUE(Exists(base + L"\\base-file"));
  SetFileAttributesW((install + L"\\" + readOnly).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FolderPreparationTest, FolderThatCannotBeMadeOrListedFailsWithItsOwnBox) {
  struct Case {
    const wchar_t* obstacle;  // made in the scratch folder first
    DWORD attributes;         // of the obstacle; INVALID_FILE_ATTRIBUTES: a plain file
    const wchar_t* failing;   // the folder named in the box
  };
  const Case cases[] = {
      {L"Ostrel Setup", FILE_ATTRIBUTE_HIDDEN, L"Ostrel Setup"},
      // Listing with directories admitted passes a plain file of the name.
      {L"Ostrel Setup", INVALID_FILE_ATTRIBUTES, L"Ostrel Setup\\Tarvine64"},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(Ansi(test.failing).chars);
    if (test.attributes == INVALID_FILE_ATTRIBUTES) {
      CreateFileWith(Path(test.obstacle));
    } else {
      CreateFolderWith(Path(test.obstacle), test.attributes);
    }
    AnsiText prepared = TextFrom("untouched");
    std::vector<MessageBoxView> boxes =
        RunAnsweringBoxes([&] { EXPECT_FALSE(PrepareInstallFoldersOn(Ansi(folder), &prepared)); });
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, L"Ostrel Tarvine64 Setup");
    EXPECT_EQ(boxes[0].text, L"Unable to create \"" + Path(test.failing) + L"\" !");
    EXPECT_EQ(boxes[0].buttons, std::vector<std::wstring>{L"OK"});
    EXPECT_FALSE(boxes[0].hasIcon);
    EXPECT_STREQ(prepared.chars, "untouched");
    EXPECT_FALSE(Exists(Path(L"Ostrel Setup\\Tarvine64")));
    SetFileAttributesW(Path(test.obstacle).c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!RemoveDirectoryW(Path(test.obstacle).c_str())) {
      DeleteFileW(Path(test.obstacle).c_str());
    }
  }
  EXPECT_EQ(RunAnsweringBoxes([&] { EnsureFolder(Ansi(Path(L"missing\\child"))); }).size(), 1u);
}

// Touches C:\Ostrel Setup, as the installer does: runs under the installer lock.
TEST(InstallFoldersOnWindowsDriveTest, FoldersAreOnTheDriveOfTheWindowsDirectory) {
  const std::wstring base = Wide(ChooseInstallDrive()) + L"\\Ostrel Setup";
  bool existed = Exists(base);
  AnsiText prepared = EmptyText();
  EXPECT_TRUE(RunAnsweringBoxes([&] { EXPECT_TRUE(PrepareInstallFolders(&prepared)); }).empty());
  EXPECT_EQ(Wide(prepared), base + L"\\Tarvine64");
  EXPECT_TRUE(Exists(base + L"\\Tarvine64"));
  if (!existed) {
    RemoveDirectoryW((base + L"\\Tarvine64").c_str());
    RemoveDirectoryW(base.c_str());
  }
}
