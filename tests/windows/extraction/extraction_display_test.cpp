// The extraction with the real progress display, watched from inside the test
// process: the texts and bar positions in the order the display handles them,
// and no display at all when there is no archive to extract.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <algorithm>

#include "extraction/extract_archive.h"
#include "display_hooks.h"
#include "extraction_test_support.h"
#include "frame/process_variables_windows.h"
#include "frame_test_support.h"
#include "progress/progress_display.h"

namespace {

const ExtractionDisplay kProgressWindow = {StartProgressDisplay, SetControlText, SetProgressPercent,
                                           CloseProgressDisplay, ProgressLabelHandle};

const std::string kWindowClass = "TarvineSelfExtractProgressDialog";

std::vector<std::string> Only(const std::vector<std::string>& log, const std::string& kind) {
  std::vector<std::string> lines;
  for (const std::string& line : log) {
    if (line.compare(0, kind.size() + 1, kind + " ") == 0) {
      lines.push_back(line);
    }
  }
  return lines;
}

// Set up like the installer before it extracts: COM, the instance handle of
// the window class and the common controls.
class ExtractionDisplayTest : public ScratchFolderTest {
 protected:
  void SetUp() override {
    ScratchFolderTest::SetUp();
    CoInitialize(nullptr);
    instanceHandle = GetModuleHandleW(nullptr);
    InitCommonControls();
  }
  void TearDown() override {
    CoUninitialize();
    ScratchFolderTest::TearDown();
  }

  std::vector<std::string> Watch(const std::wstring& archive) {
    StartWatchingNewThreads();
    ExtractArchive(kProgressWindow, GetDesktopWindow(), Ansi(archive), Ansi(folder + L"\\out"));
    return StopWatchingNewThreads();
  }
};

}  // namespace

TEST_F(ExtractionDisplayTest, LabelAndBarFollowTheWorkedArchives) {
  ASSERT_TRUE(CreateDirectoryW(Path(L"out").c_str(), nullptr));
  struct Case {
    TestEntry entry;
    size_t archiveSize;
    std::vector<std::string> percents;
  };
  const Case cases[] = {
      {LiteralEntry("EIGHT.XX", 3000), 3018, {"68", "100"}},
      {LiteralEntry(std::string(200, 'N'), 10), 220, {"9"}},
  };
  for (const Case& c : cases) {
    std::string archive = TaggedArchive({c.entry});
    ASSERT_EQ(archive.size(), c.archiveSize);
    WriteWholeFile(Path(L"payload.eek"), archive);
    std::vector<std::string> log = Watch(Path(L"payload.eek"));

    std::vector<std::string> texts = {"text " + kWindowClass + " Extracting Installation Files..."};
    std::vector<std::string> bars;
    for (const std::string& percent : c.percents) {
      texts.push_back("text Static  " + percent + " %");
      bars.push_back("bar " + percent);
    }
    EXPECT_EQ(std::count(log.begin(), log.end(), "create " + kWindowClass), 1);
    EXPECT_EQ(Only(log, "text"), texts) << ::testing::PrintToString(log);
    // The first position is the window's own, posted when it was made.
    std::vector<std::string> shown = Only(log, "bar");
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(std::vector<std::string>(shown.begin() + 1, shown.end()), bars);
    EXPECT_EQ(log.back(), "close  " + c.percents.back() + " % " + c.percents.back());
    std::wstring name(c.entry.storedName.begin(), c.entry.storedName.end());
    EXPECT_EQ(ReadWholeFile(Path(L"out\\" + name)), c.entry.content);
  }
}

TEST_F(ExtractionDisplayTest, NoArchiveNoDisplay) {
  CreateFolderWith(Path(L"folder.eek"));
  CreateFileWith(Path(L"hidden.eek"), FILE_ATTRIBUTE_HIDDEN);
  CreateFileWith(Path(L"system.eek"), FILE_ATTRIBUTE_SYSTEM);
  for (const wchar_t* name : {L"missing.eek", L"folder.eek", L"hidden.eek", L"system.eek"}) {
    EXPECT_EQ(Watch(Path(name)), std::vector<std::string>()) << Ansi(name).chars;
  }
}
