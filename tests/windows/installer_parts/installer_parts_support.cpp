#include "installer_parts_support.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include "frame/frame_state_windows.h"

namespace {

// The shortcut needs COM on the test thread, as the process entry provides it.
class ComEnvironment : public ::testing::Environment {
 public:
  void SetUp() override { CoInitialize(nullptr); }
  void TearDown() override { CoUninitialize(); }
};
::testing::Environment* const comEnvironment =
    ::testing::AddGlobalTestEnvironment(new ComEnvironment);

DWORD WINAPI RunWork(void* work) {
  (*static_cast<const std::function<void()>*>(work))();
  ReleaseFrameState();
  return 0;
}

}  // namespace

std::wstring BuildFile(const char* hostPath) {
  std::wstring path = L"Z:" + std::wstring(hostPath, hostPath + strlen(hostPath));
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

std::vector<MessageBoxView> RunAnsweringBoxes(
    const std::function<void()>& work,
    const std::function<void(const MessageBoxView&)>& beforeAnswer) {
  std::vector<MessageBoxView> boxes;
  std::vector<HWND> answered;
  HANDLE thread =
      CreateThread(nullptr, 0, RunWork, const_cast<std::function<void()>*>(&work), 0, nullptr);
  DWORD start = GetTickCount();
  while (WaitForSingleObject(thread, 20) == WAIT_TIMEOUT) {
    for (HWND box : FindMessageBoxes(GetCurrentProcessId())) {
      if (std::find(answered.begin(), answered.end(), box) == answered.end()) {
        answered.push_back(box);
        boxes.push_back(ReadMessageBox(box));
        if (beforeAnswer) {
          beforeAnswer(boxes.back());
        }
        PressMessageBoxButton(box);
      }
    }
    if (GetTickCount() - start > 30000) {
      ADD_FAILURE() << "the routine did not return within 30 s";
      TerminateThread(thread, 1);
    }
  }
  CloseHandle(thread);
  return boxes;
}

bool WaitForFile(const std::wstring& path, DWORD timeoutMs) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(20)) {
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
      return true;
    }
  }
  return false;
}

std::map<std::string, std::string> TakeStartRecord(const std::wstring& folder) {
  std::map<std::string, std::string> record;
  const std::wstring path = folder + L"\\setup-started.txt";
  if (!WaitForFile(path)) {
    return record;
  }
  std::istringstream lines(ReadWholeFile(path));
  for (std::string line; std::getline(lines, line);) {
    size_t equals = line.find('=');
    if (equals != std::string::npos) {
      record[line.substr(0, equals)] = line.substr(equals + 1, line.size() - equals - 2);  // no CR
    }
  }
  DeleteFileW(path.c_str());
  HANDLE process =
      OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, std::stoul("0" + record["process"]));
  if (process != nullptr) {
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 30000);
    CloseHandle(process);
  }
  return record;
}

std::string ReadWholeFile(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}
