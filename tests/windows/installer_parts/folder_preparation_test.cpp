// The installation drive and the preparation of the base and installation
// folders: creation, verification by listing (with its box) and clearing.
#include <algorithm>

#include "frame/file_system.h"
#include "frame_test_support.h"
#include "installer/install_drive.h"
#include "installer/install_folders.h"
#include "installer_parts_support.h"

namespace {

const wchar_t kCaption[] = L"Ostrel Tarvine64 Setup";

std::string DriveOf(const char* windowsDirectory) {
  return DriveOfWindowsDirectory(TextFrom(windowsDirectory)).chars;
}

void ExpectUnableToCreateBox(const std::vector<MessageBoxView>& boxes, const std::wstring& path) {
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].caption, kCaption);
  EXPECT_EQ(boxes[0].text, L"Unable to create \"" + path + L"\" !");
  EXPECT_EQ(boxes[0].buttons, std::vector<std::wstring>{L"OK"});
  EXPECT_FALSE(boxes[0].hasIcon);
}

}  // namespace

TEST(InstallDriveTest, DriveIsTheTextUpToTheFirstColonUnlessTheColonComesFirst) {
  EXPECT_EQ(DriveOf("C:\\Windows"), "C:");
  EXPECT_EQ(DriveOf("E:\\WINNT"), "E:");
  EXPECT_EQ(DriveOf("D:"), "D:");
  EXPECT_EQ(DriveOf("AB:\\odd:name"), "AB:");
  EXPECT_EQ(DriveOf("\\\\server\\share\\Windows"), "C:");
  EXPECT_EQ(DriveOf(":\\Windows"), "C:");
  EXPECT_EQ(DriveOf(""), "C:");

  char windows[MAX_PATH] = {};
  ASSERT_NE(GetWindowsDirectoryA(windows, MAX_PATH), 0u);
  EXPECT_EQ(std::string(ChooseInstallDrive().chars), DriveOf(windows)) << windows;
}

using FolderPreparationTest = ScratchFolderTest;

TEST_F(FolderPreparationTest, FoldersAreMadeThenKeptAndOnlyPlainFilesAreCleared) {
  const std::wstring base = Path(L"Ostrel Setup");
  const std::wstring install = base + L"\\Tarvine64";
  AnsiText prepared = EmptyText();
  std::vector<MessageBoxView> boxes =
      RunAnsweringBoxes([&] { EXPECT_TRUE(PrepareInstallFoldersOn(Ansi(folder), &prepared)); });
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(Wide(prepared), install);
  EXPECT_TRUE(GetFileAttributesW(install.c_str()) & FILE_ATTRIBUTE_DIRECTORY);

  CreateFileWith(base + L"\\base-file");
  for (int i = 0; i < 6; ++i) {
    CreateFileWith(install + L"\\old" + std::to_wstring(i) + L".dat");
  }
  CreateFileWith(install + L"\\hidden", FILE_ATTRIBUTE_HIDDEN);
  CreateFileWith(install + L"\\system", FILE_ATTRIBUTE_SYSTEM);
  CreateFolderWith(install + L"\\sub");
  CreateFileWith(install + L"\\sub\\inside");
  // The first plain file of the listing is read-only: the files after it still go.
  std::vector<std::wstring> order = SystemOrder(install);
  const std::wstring readOnly =
      install + L"\\" + *std::find_if(order.begin(), order.end(), [](const std::wstring& name) {
        return name.rfind(L"old", 0) == 0;
      });
  ASSERT_TRUE(SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));

  boxes = RunAnsweringBoxes([&] { EXPECT_TRUE(PrepareInstallFoldersOn(Ansi(folder), &prepared)); });
  EXPECT_TRUE(boxes.empty());
  std::vector<std::wstring> left = SystemOrder(install);
  std::vector<std::wstring> expected = {L"hidden", L"system", L"sub",
                                        readOnly.substr(install.size() + 1)};
  std::sort(left.begin(), left.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(left, expected);
  EXPECT_TRUE(Exists(install + L"\\sub\\inside"));
  EXPECT_TRUE(Exists(base + L"\\base-file"));
  SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(FolderPreparationTest, HiddenBaseFolderFailsWithItsPathAndNothingMore) {
  CreateFolderWith(Path(L"Ostrel Setup"), FILE_ATTRIBUTE_HIDDEN);
  AnsiText prepared = TextFrom("untouched");
  std::vector<MessageBoxView> boxes =
      RunAnsweringBoxes([&] { EXPECT_FALSE(PrepareInstallFoldersOn(Ansi(folder), &prepared)); });
  ExpectUnableToCreateBox(boxes, Path(L"Ostrel Setup"));
  EXPECT_FALSE(Exists(Path(L"Ostrel Setup\\Tarvine64")));
  EXPECT_STREQ(prepared.chars, "untouched");
}

TEST_F(FolderPreparationTest, PlainFileNamedLikeTheBaseFolderPassesAndTheInstallFolderFails) {
  CreateFileWith(Path(L"Ostrel Setup"));
  AnsiText prepared = EmptyText();
  std::vector<MessageBoxView> boxes =
      RunAnsweringBoxes([&] { EXPECT_FALSE(PrepareInstallFoldersOn(Ansi(folder), &prepared)); });
  ExpectUnableToCreateBox(boxes, Path(L"Ostrel Setup\\Tarvine64"));
}

TEST_F(FolderPreparationTest, FolderWhoseParentIsMissingCannotBeMade) {
  std::vector<MessageBoxView> boxes =
      RunAnsweringBoxes([&] { EXPECT_FALSE(EnsureFolder(Ansi(Path(L"missing\\child")))); });
  ExpectUnableToCreateBox(boxes, Path(L"missing\\child"));
  EXPECT_FALSE(Exists(Path(L"missing")));
}

// Touches C:\Ostrel Setup, as the installer does: runs under the installer lock.
TEST(InstallFoldersOnWindowsDriveTest, FoldersAreOnTheDriveOfTheWindowsDirectory) {
  const std::wstring base = Wide(ChooseInstallDrive()) + L"\\Ostrel Setup";
  bool existed = Exists(base);
  AnsiText prepared = EmptyText();
  std::vector<MessageBoxView> boxes =
      RunAnsweringBoxes([&] { EXPECT_TRUE(PrepareInstallFolders(&prepared)); });
  EXPECT_TRUE(boxes.empty());
  EXPECT_EQ(Wide(prepared), base + L"\\Tarvine64");
  EXPECT_TRUE(GetFileAttributesW((base + L"\\Tarvine64").c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  if (!existed) {
    RemoveDirectoryW((base + L"\\Tarvine64").c_str());
    RemoveDirectoryW(base.c_str());
  }
}
