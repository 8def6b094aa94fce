// The resources of the installer executables: the icon group "OSTREL" in both,
// the payload (RCDATA 10) only in the full installer, and the payload's copy.
#include <fstream>

#include "frame_test_support.h"
#include "installer/payload_copy_windows.h"
#include "installer_parts_support.h"

namespace {

// The bytes of one resource of an executable loaded as data; empty when absent.
std::string ResourceBytes(HMODULE module, const wchar_t* name, const wchar_t* type) {
  HRSRC found = FindResourceW(module, name, type);
  if (found == nullptr) {
    return std::string();
  }
  return std::string(static_cast<const char*>(LockResource(LoadResource(module, found))),
                     SizeofResource(module, found));
}

HMODULE LoadAsData(const char* program) {
  return LoadLibraryExW(BuildFile(program).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
}

}  // namespace

TEST(InstallerResourcesTest, BothExecutablesCarryTheIconGroupOstrelWithOneSmallImage) {
  for (const char* program : {INSTALLER_EXE, INSTALLER_STUB_EXE}) {
    SCOPED_TRACE(program);
    HMODULE module = LoadAsData(program);
    ASSERT_NE(module, nullptr);
    // The group: reserved, type 1, count, then per image width, height, colours,
    // reserved, planes, bits per pixel, size and identifier (14 bytes).
    std::string group = ResourceBytes(module, L"OSTREL", MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_EQ(group.size(), 6u + 14u);
    EXPECT_EQ(group.substr(0, 6), std::string("\0\0\1\0\1\0", 6));
    EXPECT_EQ(group.substr(6, 8), std::string("\x20\x20\x10\0\1\0\4\0", 8));
    HANDLE icon = LoadImageW(module, L"OSTREL", IMAGE_ICON, 32, 32, 0);
    EXPECT_NE(icon, nullptr);
    DestroyIcon(static_cast<HICON>(icon));
    FreeLibrary(module);
  }
}

using PayloadCopyTest = ScratchFolderTest;

TEST_F(PayloadCopyTest, PayloadIsCopiedByteForByteOverAnyOldFileAndTheStubHasNone) {
  const std::string archive = ReadWholeFile(BuildFile(PAYLOAD_ARCHIVE));
  ASSERT_GT(archive.size(), 3u << 20) << "the demo payload is several MB";
  HMODULE installer = LoadAsData(INSTALLER_EXE), stub = LoadAsData(INSTALLER_STUB_EXE);
  ASSERT_TRUE(installer != nullptr && stub != nullptr);
  EXPECT_TRUE(ResourceBytes(installer, MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(10)) == archive)
      << "the payload resource is not the archive";

  // An old file longer than the payload is replaced, not overwritten in part.
  const std::wstring copy = Path(L"Bulktemp.eek");
  std::ofstream(copy.c_str(), std::ios::binary) << archive << "left over from an earlier run";
  AnsiText written;
  EXPECT_EQ(CopyPayloadToFile(installer, Ansi(copy), EmptyText(), &written), kPayloadCopied);
  EXPECT_TRUE(ReadWholeFile(copy) == archive) << "the copy differs from the archive";

  EXPECT_EQ(CopyPayloadToFile(stub, Ansi(Path(L"none.eek")), EmptyText(), &written),
            kPayloadMissing);
  EXPECT_FALSE(Exists(Path(L"none.eek")));
  // A file that cannot be made is reported, not passed over; where there is
  // a second place, that one takes the payload and is the one named.
  const std::wstring unmade = Path(L"missing\\Bulktemp.eek"), second = Path(L"second.eek");
  EXPECT_EQ(CopyPayloadToFile(installer, Ansi(unmade), EmptyText(), &written), kPayloadNotWritten);
  EXPECT_EQ(Wide(written), unmade);
  EXPECT_EQ(CopyPayloadToFile(installer, Ansi(unmade), Ansi(second), &written), kPayloadCopied);
  EXPECT_EQ(Wide(written), second);
  EXPECT_TRUE(ReadWholeFile(second) == archive) << "the second place's copy differs";
  // The message about it names the file by its full path.
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  EXPECT_EQ(Wide(ResolveFullPath(TextFrom("Bulktemp.eek"))), copy);
  FreeLibrary(installer);
  FreeLibrary(stub);
}
