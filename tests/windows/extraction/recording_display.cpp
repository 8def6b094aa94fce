// A progress display that records the calls of the extraction in order instead
// of showing a window, so that their order and arguments can be checked exactly.
#include "extraction_test_support.h"

std::vector<std::string> displayCalls;
HWND displayParent = nullptr;

namespace {

HWND const kWindow = reinterpret_cast<HWND>(0x1230);
HWND const kLabel = reinterpret_cast<HWND>(0x4560);

}  // namespace

void ClearDisplayCalls() {
  displayCalls.clear();
  displayParent = nullptr;
}

namespace {

HWND StartRecording(HWND parent) {
  displayParent = parent;
  displayCalls.push_back("start");
  return kWindow;
}

void RecordText(HWND window, const AnsiText& text) {
  const char* target = window == kWindow ? "caption " : window == kLabel ? "label " : "text ";
  displayCalls.push_back(target + std::string(text.chars, text.length));
}

int32_t RecordPercent(int32_t percent) {
  displayCalls.push_back("bar " + std::to_string(percent));
  return 0;
}

bool RecordClose() {
  displayCalls.push_back("close");
  return true;
}

HWND RecordedLabel() {
  return kLabel;
}

}  // namespace

const ExtractionDisplay recordingDisplay = {StartRecording, RecordText, RecordPercent, RecordClose,
                                            RecordedLabel};
