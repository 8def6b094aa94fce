#include "frame/frame_state_windows.h"

#include "frame/guarded_call_windows.h"
#include "frame/system_calls_windows.h"

namespace {

DWORD frameStateSlot = TLS_OUT_OF_INDEXES;
FrameState* mainFrameState = nullptr;

FrameState* AllocateFrameState() {
  return static_cast<FrameState*>(GlobalAlloc(GPTR, sizeof(FrameState)));
}

void CloseOpenSearch(FrameState* state) {
  if (state->search.handle != nullptr) {
    HANDLE handle = state->search.handle;
    state->search.handle = nullptr;
    GuardedCall([&] { return FindClose(handle); });
  }
}

}  // namespace

bool StartFrame() {
  frameStateSlot = TlsAlloc();
  if (frameStateSlot == TLS_OUT_OF_INDEXES) {
    return false;
  }
  mainFrameState = AllocateFrameState();
  if (mainFrameState == nullptr || !TlsSetValue(frameStateSlot, mainFrameState)) {
    if (mainFrameState != nullptr) {
      GlobalFree(mainFrameState);
      mainFrameState = nullptr;
    }
    TlsFree(frameStateSlot);
    frameStateSlot = TLS_OUT_OF_INDEXES;
    return false;
  }
  return true;
}

void EndFrame() {
  if (frameStateSlot == TLS_OUT_OF_INDEXES) {
    return;
  }
  if (mainFrameState != nullptr) {
    CloseOpenSearch(mainFrameState);
    if (TlsGetValue(frameStateSlot) == mainFrameState) {
      TlsSetValue(frameStateSlot, nullptr);
    }
    GlobalFree(mainFrameState);
    mainFrameState = nullptr;
  }
  TlsFree(frameStateSlot);
  frameStateSlot = TLS_OUT_OF_INDEXES;
}

FrameState* AcquireFrameState() {
  if (frameStateSlot == TLS_OUT_OF_INDEXES) {
    return nullptr;
  }
  DWORD lastError = GetLastError();
  FrameState* state = static_cast<FrameState*>(TlsGetValue(frameStateSlot));
  if (state == nullptr) {
    state = AllocateFrameState();
    if (state != nullptr && !TlsSetValue(frameStateSlot, state)) {
      GlobalFree(state);
      state = nullptr;
    }
  }
  // TlsGetValue clears the last error on success; keep the caller's.
  SetLastError(lastError);
  return state;
}

void ReleaseFrameState() {
  if (frameStateSlot == TLS_OUT_OF_INDEXES) {
    return;
  }
  FrameState* state = static_cast<FrameState*>(TlsGetValue(frameStateSlot));
  if (state == nullptr || state == mainFrameState) {
    return;
  }
  CloseOpenSearch(state);
  TlsSetValue(frameStateSlot, nullptr);
  GlobalFree(state);
}
