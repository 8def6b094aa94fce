// The progress display in this process, on the session's screen: what the
// window and its controls are, how text and positions reach them, and that
// every wait of the caller ends, also when no window can be made.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "progress/progress_display.h"
#include "progress_test_support.h"

namespace {

const DWORD kPromptly = 15000;

class ProgressDisplayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    HangGuard guard("StartProgressDisplay", kPromptly);
    window = StartProgressDisplay(GetDesktopWindow());
    ASSERT_NE(window, nullptr);
    thread = KeepProgressThread();
    label = ProgressLabelHandle();
    bar = progressShared.barHandle;
    probe = new ProgressThreadProbe(window);
  }
  void TearDown() override {
    delete probe;
    HangGuard guard("CloseProgressDisplay", kPromptly);
    CloseProgressDisplay();
    CloseHandle(thread);
  }

  HWND window = nullptr;
  HANDLE thread = nullptr;
  HWND label = nullptr;
  HWND bar = nullptr;
  ProgressThreadProbe* probe = nullptr;
};

TEST_F(ProgressDisplayTest, ShowsACaptionedWindowWithAnEmptyLabelAndTheBarAtOne) {
  // The window is published while it is being made; it is shown once the
  // progress thread reaches its message loop.
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(SettledPosition(probe, bar), 1);
  EXPECT_EQ(ClassName(window), L"TarvineSelfExtractProgressDialog");
  EXPECT_EQ(StoredText(window), L"Extracting Files");
  EXPECT_NE(GetWindowThreadProcessId(window, nullptr), GetCurrentThreadId())
      << "the window belongs to the progress thread";
  LONG style = GetWindowLongW(window, GWL_STYLE);
  EXPECT_EQ(style & (WS_VISIBLE | WS_CAPTION), WS_VISIBLE | WS_CAPTION);
  EXPECT_EQ(style & (WS_SYSMENU | WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME | WS_CHILD), 0)
      << "no system menu, no close, minimise or maximise box, fixed size";

  WNDCLASSA registered{};
  ASSERT_TRUE(
      GetClassInfoA(GetModuleHandleW(nullptr), "TarvineSelfExtractProgressDialog", &registered));
  EXPECT_EQ(registered.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(registered.hbrBackground, GetSysColorBrush(COLOR_BTNFACE));
  EXPECT_EQ(registered.hCursor, LoadCursorA(nullptr, IDC_ARROW));
  EXPECT_EQ(registered.lpszMenuName, nullptr);

  ASSERT_NE(label, nullptr);
  EXPECT_EQ(GetParent(label), window);
  EXPECT_EQ(GetDlgCtrlID(label), 100);
  EXPECT_EQ(_wcsicmp(ClassName(label).c_str(), L"Static"), 0);
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(label, GWL_STYLE)), 0x50000000u);
  EXPECT_EQ(StoredText(label), L"");

  EXPECT_EQ(GetParent(bar), window);
  EXPECT_EQ(GetDlgCtrlID(bar), 200);
  EXPECT_EQ(ClassName(bar), L"msctls_progress32");
  EXPECT_EQ(static_cast<DWORD>(GetWindowLongW(bar, GWL_STYLE)), 0x50000001u);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, TRUE, 0), 0);
  EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 100);
}

TEST_F(ProgressDisplayTest, TextChangesAreHandledBeforeTheCallReturns) {
  // The progress thread is kept busy, so only a caller that waits for the
  // change can find it made.
  probe->Stall(300);
  SetControlText(window, TextFrom("Extracting Installation Files..."));
  EXPECT_EQ(StoredText(window), L"Extracting Installation Files...");
  EXPECT_EQ(StoredText(label), L"") << "the label stays empty until a percentage";

  probe->Stall(300);
  SetControlText(label, TextFrom(" 37 %"));
  EXPECT_EQ(StoredText(label), L" 37 %");

  SetControlText(label, TextFromChars("ab\0cd", 5));
  EXPECT_EQ(StoredText(label), L"ab") << "the text ends at a zero character";
  std::string longest(kTextCapacity, 'x');
  SetControlText(label, TextFrom(longest.c_str()));
  EXPECT_EQ(StoredText(label), std::wstring(longest.begin(), longest.end()));
}

TEST_F(ProgressDisplayTest, PositionsAreTakenInPostingOrderAndTheCloseAfterThem) {
  probe->Stall(300);
  const int32_t posted[] = {40, 0, -7, INT_MIN, 150, 100, 63};
  for (int32_t percent : posted) {
    EXPECT_EQ(SetProgressPercent(percent), 0);
  }
  {
    HangGuard guard("CloseProgressDisplay", kPromptly);
    EXPECT_TRUE(CloseProgressDisplay());
  }
  EXPECT_FALSE(IsWindow(window));
  EXPECT_FALSE(IsWindow(label));
  EXPECT_FALSE(IsWindow(bar));

  std::vector<WPARAM> positions;
  bool closeSeen = false;
  for (const TakenMessage& taken : probe->TakenSinceMarker()) {
    if (taken.window == bar && taken.message == PBM_SETPOS) {
      EXPECT_FALSE(closeSeen) << "a position was taken after the close request";
      positions.push_back(taken.wParam);
    } else if (taken.window == window && taken.message == WM_SYSCOMMAND) {
      EXPECT_EQ(taken.wParam & 0xFFF0, static_cast<WPARAM>(SC_CLOSE));
      closeSeen = true;
    }
  }
  // Below 1 goes up to 1; above 100 is left to the bar's range.
  EXPECT_EQ(positions, (std::vector<WPARAM>{40, 1, 1, 1, 150, 100, 63}));
  EXPECT_TRUE(closeSeen);
  EXPECT_EQ(ExitCodeOf(thread, 10000), 1u) << "the progress thread ends on its own";
}

TEST_F(ProgressDisplayTest, CloseDoesNotWaitForAWindowAlreadyGone) {
  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(ExitCodeOf(thread, 10000), 1u);
  EXPECT_FALSE(IsWindow(window));
  HangGuard guard("CloseProgressDisplay", kPromptly);
  EXPECT_TRUE(CloseProgressDisplay()) << "the thread handle is still released";
  EXPECT_FALSE(CloseProgressDisplay()) << "and only once";
}

// Window procedures of a class that takes the progress window's name first.
LRESULT CALLBACK RefuseCreation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return message == WM_CREATE ? -1 : DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK EndThreadOnCreation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_CREATE) {
    ExitThread(7);
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK AcceptCreation(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

class ProgressFailureTest : public ::testing::Test {
 protected:
  void TearDown() override { UnregisterRivalClass(); }

  // Starts a display that cannot come up: null, promptly, with no window
  // published and no thread left waiting for messages.
  void ExpectNoDisplay(HWND parent, DWORD threadExitCode) {
    HWND window;
    {
      HangGuard guard("StartProgressDisplay", kPromptly);
      window = StartProgressDisplay(parent);
    }
    EXPECT_EQ(window, nullptr);
    EXPECT_EQ(progressShared.windowHandle, nullptr);
    HANDLE thread = KeepProgressThread();
    EXPECT_EQ(ExitCodeOf(thread, 10000), threadExitCode);
    CloseHandle(thread);
    EXPECT_EQ(CountOwnWindows("TarvineSelfExtractProgressDialog"), 0);

    // The rest of the extraction's calls change nothing and do not wait.
    HangGuard guard("the display calls after a failed start", kPromptly);
    SetControlText(window, TextFrom("Extracting Installation Files..."));
    SetControlText(ProgressLabelHandle(), TextFrom(" 5 %"));
    EXPECT_EQ(SetProgressPercent(5), 0);
    MSG stray;
    EXPECT_FALSE(PeekMessageW(&stray, nullptr, 0, 0, PM_REMOVE))
        << "message " << stray.message << " was posted to the calling thread";
    EXPECT_TRUE(CloseProgressDisplay()) << "the thread handle is released";
    EXPECT_FALSE(CloseProgressDisplay());
  }
};

TEST_F(ProgressFailureTest, NoWindowForAParentThatIsNoWindow) {
  HWND noWindow = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x7FFE0));
  ASSERT_FALSE(IsWindow(noWindow));
  ExpectNoDisplay(noWindow, 1);
}

TEST_F(ProgressFailureTest, NoWindowWhenAClassOfTheNameRefusesIt) {
  RegisterRivalClass(RefuseCreation);
  ExpectNoDisplay(GetDesktopWindow(), 1);
}

TEST_F(ProgressFailureTest, NoWindowWhenAClassOfTheNameMakesOneOfItsOwn) {
  RegisterRivalClass(AcceptCreation);
  ExpectNoDisplay(GetDesktopWindow(), 1);
}

TEST_F(ProgressFailureTest, NoWindowWhenTheThreadEndsWhileMakingIt) {
  RegisterRivalClass(EndThreadOnCreation);
  ExpectNoDisplay(GetDesktopWindow(), 7);
}

TEST_F(ProgressFailureTest, CloseWithoutADisplayReturnsAtOnce) {
  HangGuard guard("CloseProgressDisplay", kPromptly);
  progressShared = ProgressShared{nullptr, nullptr, nullptr, nullptr};
  EXPECT_FALSE(CloseProgressDisplay());
  // What a start whose thread could not be created leaves behind.
  progressShared.windowHandle = reinterpret_cast<HWND>(static_cast<intptr_t>(-1));
  EXPECT_FALSE(CloseProgressDisplay());
}

}  // namespace
