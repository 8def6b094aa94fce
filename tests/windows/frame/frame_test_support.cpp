#include "frame_test_support.h"

#include "frame/file_system.h"
#include "frame/frame_state_windows.h"

namespace {

// The frame is set up as the process entry does it, once per test program
// (and once more in every death-test child).
class FrameEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(StartFrame()); }
  void TearDown() override { EndFrame(); }
};

::testing::Environment* const frameEnvironment =
    ::testing::AddGlobalTestEnvironment(new FrameEnvironment);

void RemoveTree(const std::wstring& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  if (!RemoveDirectoryW(path.c_str()) && !DeleteFileW(path.c_str())) {
    for (const std::wstring& name : SystemOrder(path)) {
      RemoveTree(path + L"\\" + name);
    }
    RemoveDirectoryW(path.c_str());
  }
}

}  // namespace

AnsiText Ansi(const std::wstring& path) {
  return TextFrom(std::string(path.begin(), path.end()).c_str());
}

std::wstring Wide(const AnsiText& text) {
  return std::wstring(text.chars, text.chars + text.length);
}

void CreateFileWith(const std::wstring& path, DWORD attributes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << "cannot create " << Ansi(path).chars;
  DWORD written = 0;
  WriteFile(file, "data", 4, &written, nullptr);
  CloseHandle(file);
  SetFileAttributesW(path.c_str(), attributes);
  ASSERT_EQ(GetFileAttributesW(path.c_str()) & 0x1F, attributes & 0x1F)
      << "the file system does not keep the attributes of " << Ansi(path).chars;
}

void CreateFolderWith(const std::wstring& path, DWORD attributes) {
  ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << "cannot create " << Ansi(path).chars;
  SetFileAttributesW(path.c_str(), attributes);
  ASSERT_EQ(GetFileAttributesW(path.c_str()) & 0x1F, (attributes & 0x1F) | FILE_ATTRIBUTE_DIRECTORY)
      << "the file system does not keep the attributes of " << Ansi(path).chars;
}

bool Exists(const std::wstring& path) {
  return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::set<std::string> ListNames(const std::wstring& pattern, uint32_t filter) {
  std::set<std::string> names;
  for (AnsiText name = FindFirstName(Ansi(pattern), filter); !IsTextEmpty(name);
       name = FindNextName()) {
    EXPECT_TRUE(names.insert(name.chars).second) << "listed twice: " << name.chars;
  }
  return names;
}

std::vector<std::wstring> SystemOrder(const std::wstring& folder) {
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW entry;
  HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    return names;
  }
  do {
    std::wstring name = entry.cFileName;
    if (name != L"." && name != L"..") {
      names.push_back(name);
    }
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return names;
}

void ScratchFolderTest::SetUp() {
  static int serial = 0;
  GetCurrentDirectoryW(MAX_PATH, savedDirectory);
  folder = L"C:\\ft" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
  RemoveTree(folder);
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
}

void ScratchFolderTest::TearDown() {
  SetCurrentDirectoryW(savedDirectory);
  RemoveTree(folder);
}
