// The resources of the installer executables: the icon group "OSTREL" in both,
// the payload (RCDATA 10) only in the full installer, and its copy to a file.
#include <fstream>

#include "frame_test_support.h"
#include "installer/payload_copy_windows.h"
#include "installer_parts_support.h"

namespace {

#pragma pack(push, 2)
struct IconGroupHeader {
  WORD reserved, type, count;
};
struct IconGroupEntry {
  BYTE width, height, colourCount, reserved;
  WORD planes, bitCount;
  DWORD bytesInResource;
  WORD id;
};
#pragma pack(pop)

// An executable loaded for its resources only.
struct ResourceModule {
  explicit ResourceModule(const std::wstring& path)
      : module(LoadLibraryExW(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {}
  ~ResourceModule() {
    if (module != nullptr) {
      FreeLibrary(module);
    }
  }
  std::string Bytes(const wchar_t* name, const wchar_t* type) const {
    HRSRC found = FindResourceW(module, name, type);
    if (found == nullptr) {
      return std::string();
    }
    const char* data = static_cast<const char*>(LockResource(LoadResource(module, found)));
    return std::string(data, SizeofResource(module, found));
  }
  HMODULE module;
};

}  // namespace

TEST(InstallerResourcesTest, BothExecutablesCarryTheIconGroupOstrelWithOneSmallImage) {
  for (const std::wstring& program : {InstallerProgram(), InstallerStubProgram()}) {
    SCOPED_TRACE(Utf8(program));
    ResourceModule executable(program);
    ASSERT_NE(executable.module, nullptr);
    std::string group = executable.Bytes(L"OSTREL", MAKEINTRESOURCEW(14));  // RT_GROUP_ICON
    ASSERT_EQ(group.size(), sizeof(IconGroupHeader) + sizeof(IconGroupEntry));
    IconGroupHeader header;
    IconGroupEntry entry;
    memcpy(&header, group.data(), sizeof(header));
    memcpy(&entry, group.data() + sizeof(header), sizeof(entry));
    EXPECT_EQ(header.type, 1);
    EXPECT_EQ(header.count, 1);
    EXPECT_EQ(entry.width, 32);
    EXPECT_EQ(entry.height, 32);
    EXPECT_EQ(entry.colourCount, 16);
    EXPECT_EQ(entry.bitCount, 4);

    std::string image = executable.Bytes(MAKEINTRESOURCEW(entry.id), MAKEINTRESOURCEW(3));
    ASSERT_EQ(image.size(), entry.bytesInResource);
    BITMAPINFOHEADER bitmap;
    memcpy(&bitmap, image.data(), sizeof(bitmap));
    EXPECT_EQ(bitmap.biWidth, 32);
    EXPECT_EQ(bitmap.biHeight, 64);  // colours and mask
    EXPECT_EQ(bitmap.biBitCount, 4);
    // 40-byte header, 16 palette entries, 32 rows of 16 colour bytes and of 4 mask bytes.
    EXPECT_EQ(image.size(), 40u + 16 * 4 + 32 * 16 + 32 * 4);
    HANDLE icon = LoadImageW(executable.module, L"OSTREL", IMAGE_ICON, 32, 32, 0);
    EXPECT_NE(icon, nullptr);
    DestroyIcon(static_cast<HICON>(icon));
  }
}

using PayloadCopyTest = ScratchFolderTest;

TEST_F(PayloadCopyTest, PayloadIsCopiedByteForByteOverAnyOldFileAndTheStubHasNone) {
  const std::string archive = ReadWholeFile(PayloadArchive());
  ASSERT_GT(archive.size(), 3u << 20) << "the demo payload is several MB";
  ResourceModule installer(InstallerProgram());
  ResourceModule stub(InstallerStubProgram());
  ASSERT_NE(installer.module, nullptr);
  ASSERT_NE(stub.module, nullptr);
  EXPECT_TRUE(installer.Bytes(MAKEINTRESOURCEW(10), MAKEINTRESOURCEW(10)) == archive)
      << "the payload resource is not the archive";

  // An old file longer than the payload is replaced, not overwritten in part.
  const std::wstring copy = Path(L"Bulktemp.eek");
  std::ofstream(copy.c_str(), std::ios::binary) << archive << "left over from an earlier run";
  EXPECT_TRUE(CopyPayloadToFile(installer.module, Ansi(copy)));
  EXPECT_TRUE(ReadWholeFile(copy) == archive) << "the copy differs from the archive";

  const std::wstring none = Path(L"none.eek");
  EXPECT_FALSE(CopyPayloadToFile(stub.module, Ansi(none)));
  EXPECT_FALSE(Exists(none));
}
