// GuardedCall and the failure record: failure judged by the last error alone,
// the error mode during the call, mutual exclusion, and the fatal error codes.
#include <atomic>
#include <thread>

#include "frame/failure_record.h"
#include "frame/frame_state_windows.h"
#include "frame/guarded_call_windows.h"
#include "frame_test_support.h"

namespace {

UINT CurrentErrorMode() {
  UINT mode = SetErrorMode(0);
  SetErrorMode(mode);
  return mode;
}

}  // namespace

TEST(GuardedCallTest, FailureIsANonZeroLastErrorWhateverTheCallReturned) {
  SetLastError(ERROR_INVALID_DATA);
  GuardedOutcome<DWORD> clean = GuardedCall([] { return GetLastError(); });
  EXPECT_EQ(clean.value, 0u) << "the last error is cleared before the call";
  EXPECT_FALSE(clean.failed);

  GuardedOutcome<BOOL> noisy = GuardedCall([] {
    SetLastError(ERROR_ALREADY_EXISTS);
    return TRUE;
  });
  EXPECT_EQ(noisy.value, TRUE);
  EXPECT_TRUE(noisy.failed);
  EXPECT_EQ(noisy.lastError, static_cast<uint32_t>(ERROR_ALREADY_EXISTS));

  GuardedOutcome<HANDLE> missing = GuardedCall([] {
    return CreateFileW(L"C:\\no such folder\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0,
                       nullptr);
  });
  EXPECT_EQ(missing.value, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(missing.failed);
  EXPECT_EQ(missing.lastError, static_cast<uint32_t>(ERROR_PATH_NOT_FOUND));
}

TEST(GuardedCallTest, CriticalErrorBoxesAreOffOnlyDuringTheCall) {
  SetErrorMode(0);
  GuardedOutcome<UINT> inside = GuardedCall([] { return CurrentErrorMode(); });
  EXPECT_EQ(inside.value, static_cast<UINT>(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX));
  EXPECT_EQ(CurrentErrorMode(), 0u);
}

TEST(GuardedCallTest, CallsOfDifferentThreadsNeverOverlap) {
  std::atomic<int> inside{0};
  std::atomic<bool> overlapped{false};
  auto hammer = [&] {
    for (int i = 0; i < 2000; ++i) {
      GuardedCall([&] {
        if (inside.fetch_add(1) != 0) {
          overlapped = true;
        }
        for (volatile int spin = 0; spin < 2000; spin = spin + 1) {
        }
        inside.fetch_sub(1);
        return TRUE;
      });
    }
  };
  std::thread first(hammer);
  std::thread second(hammer);
  first.join();
  second.join();
  EXPECT_FALSE(overlapped);
}

TEST(FailureRecordTest, RecordsBelongToTheRecordingThread) {
  FailureRecord before = ReadLastFailure();
  RecordFailure(kFileAccessService, ERROR_ACCESS_DENIED);
  FailureRecord after = ReadLastFailure();
  EXPECT_EQ(after.count, before.count + 1);
  EXPECT_EQ(after.service, kFileAccessService);
  EXPECT_EQ(after.errorCode, static_cast<uint32_t>(ERROR_ACCESS_DENIED));

  FailureRecord ofNewThread = {kFileAccessService, 1, 1};
  std::thread([&] {
    ofNewThread = ReadLastFailure();
    ReleaseFrameState();
  }).join();
  EXPECT_EQ(ofNewThread.count, 0u);
  EXPECT_EQ(ofNewThread.service, kNoService);
}

TEST(FailureRecordDeathTest, DamagedProcessEndsWith255) {
  for (DWORD code : {ERROR_ARENA_TRASHED, ERROR_INVALID_BLOCK, ERROR_BAD_ENVIRONMENT}) {
    EXPECT_EXIT(
        {
          GuardedOutcome<BOOL> outcome = GuardedCall([&] {
            SetLastError(code);
            return TRUE;
          });
          RecordFailure(kMakeDirectoryService, outcome.lastError);
          ExitProcess(0);
        },
        ::testing::ExitedWithCode(255), "")
        << code;
  }
}
