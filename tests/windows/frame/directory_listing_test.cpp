// FindFirstName and FindNextName on real folders: the attribute filter, the
// folder's own path, the appended "*.*", the search's life and its ownership
// by the calling thread.
#include <condition_variable>
#include <mutex>
#include <thread>

#include "frame/file_system.h"
#include "frame/frame_state_windows.h"
#include "frame_test_support.h"

using Names = std::set<std::string>;

class DirectoryListingTest : public ScratchFolderTest {
 protected:
  void FillWithEveryKind() {
    CreateFileWith(Path(L"plain.txt"));
    CreateFileWith(Path(L"readonly.txt"), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE);
    CreateFileWith(Path(L"hidden.txt"), FILE_ATTRIBUTE_HIDDEN);
    CreateFileWith(Path(L"system.txt"), FILE_ATTRIBUTE_SYSTEM);
    CreateFileWith(Path(L"both.txt"), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    CreateFolderWith(Path(L"sub"));
    CreateFolderWith(Path(L"hiddensub"), FILE_ATTRIBUTE_HIDDEN);
  }
};

TEST_F(DirectoryListingTest, FilterAdmitsEachKindOnlyWithItsBit) {
  FillWithEveryKind();
  const Names plain = {"plain.txt", "readonly.txt"};
  EXPECT_EQ(ListNames(Path(L"*.*"), 0), plain);
  EXPECT_EQ(ListNames(Path(L"*.*"), kHiddenEntries),
            (Names{"plain.txt", "readonly.txt", "hidden.txt"}));
  EXPECT_EQ(ListNames(Path(L"*.*"), kSystemEntries),
            (Names{"plain.txt", "readonly.txt", "system.txt"}));
  EXPECT_EQ(ListNames(Path(L"*"), kHiddenEntries | kSystemEntries),
            (Names{"plain.txt", "readonly.txt", "hidden.txt", "system.txt", "both.txt"}));
  // Directories in addition to plain files, never "." or "..".
  EXPECT_EQ(ListNames(Path(L"*.*"), kDirectoryEntries),
            (Names{"plain.txt", "readonly.txt", "sub"}));
  EXPECT_EQ(ListNames(Path(L"*.*"), kDirectoryEntries | kHiddenEntries | kSystemEntries),
            (Names{"plain.txt", "readonly.txt", "hidden.txt", "system.txt", "both.txt", "sub",
                   "hiddensub"}));
}

TEST_F(DirectoryListingTest, PatternEndingInBackslashOrColonListsTheFolder) {
  FillWithEveryKind();
  const Names plain = {"plain.txt", "readonly.txt"};
  EXPECT_EQ(ListNames(folder + L"\\", 0), plain);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  EXPECT_EQ(ListNames(L"C:", 0), plain);
}

TEST_F(DirectoryListingTest, FolderPathItselfNeedsTheDirectoryBit) {
  CreateFolderWith(Path(L"open"));
  CreateFolderWith(Path(L"hidden"), FILE_ATTRIBUTE_HIDDEN);
  CreateFolderWith(Path(L"system"), FILE_ATTRIBUTE_SYSTEM);
  CreateFileWith(Path(L"file.bin"));
  EXPECT_EQ(Wide(FindFirstName(Ansi(Path(L"open")), 0)), L"");
  EXPECT_EQ(Wide(FindFirstName(Ansi(Path(L"open")), kDirectoryEntries)), L"open");
  EXPECT_EQ(Wide(FindFirstName(Ansi(Path(L"hidden")), kDirectoryEntries)), L"");
  EXPECT_EQ(Wide(FindFirstName(Ansi(Path(L"system")), kDirectoryEntries)), L"");
  // The directory bit admits directories in addition to plain files.
  EXPECT_EQ(Wide(FindFirstName(Ansi(Path(L"file.bin")), kDirectoryEntries)), L"file.bin");
}

TEST_F(DirectoryListingTest, SearchEndsOnceAndIsReplacedByTheNextOne) {
  CreateFolderWith(Path(L"a"));
  CreateFolderWith(Path(L"b"));
  CreateFileWith(Path(L"a\\one"));
  CreateFileWith(Path(L"a\\two"));
  CreateFileWith(Path(L"b\\three"));

  EXPECT_FALSE(IsTextEmpty(FindFirstName(Ansi(Path(L"a\\*")), 0)));
  EXPECT_EQ(Wide(FindFirstName(Ansi(Path(L"b\\*")), 0)), L"three");
  EXPECT_EQ(Wide(FindNextName()), L"");  // nothing of a's search is left
  EXPECT_EQ(Wide(FindNextName()), L"");
  EXPECT_EQ(AcquireFrameState()->search.handle, nullptr);

  // An empty pattern goes on with the open search.
  AnsiText first = FindFirstName(Ansi(Path(L"a\\*")), 0);
  AnsiText second = FindFirstName(EmptyText(), 0);
  EXPECT_EQ((Names{first.chars, second.chars}), (Names{"one", "two"}));
  EXPECT_EQ(Wide(FindFirstName(EmptyText(), 0)), L"");
}

TEST_F(DirectoryListingTest, ThreadsKeepSearchesOfTheirOwn) {
  const int kFiles = 5;
  for (const wchar_t* sub : {L"left", L"right"}) {
    CreateFolderWith(Path(sub));
    for (int i = 0; i < kFiles; ++i) {
      CreateFileWith(Path(std::wstring(sub) + L"\\" + sub + std::to_wstring(i)));
    }
  }
  // The main thread's search stays where it is while the others walk.
  AnsiText mainFirst = FindFirstName(Ansi(Path(L"right\\*")), 0);
  // The two threads take turns, one listing step each.
  std::mutex lock;
  std::condition_variable turnChanged;
  int turn = 0;
  Names seen[2];
  auto walk = [&](int self, const std::wstring& pattern) {
    for (int step = 0; step <= kFiles; ++step) {
      std::unique_lock<std::mutex> hold(lock);
      turnChanged.wait(hold, [&] { return turn == self; });
      AnsiText name = step == 0 ? FindFirstName(Ansi(pattern), 0) : FindNextName();
      if (!IsTextEmpty(name)) {
        seen[self].insert(name.chars);
      }
      turn = 1 - self;
      turnChanged.notify_all();
    }
    ReleaseFrameState();
  };
  std::thread left(walk, 0, Path(L"left\\*"));
  std::thread right(walk, 1, Path(L"right\\*"));
  left.join();
  right.join();
  EXPECT_EQ(seen[0], (Names{"left0", "left1", "left2", "left3", "left4"}));
  EXPECT_EQ(seen[1], (Names{"right0", "right1", "right2", "right3", "right4"}));
  seen[1].clear();
  for (AnsiText name = mainFirst; !IsTextEmpty(name); name = FindNextName()) {
    seen[1].insert(name.chars);
  }
  EXPECT_EQ(seen[1].size(), static_cast<size_t>(kFiles));
}
