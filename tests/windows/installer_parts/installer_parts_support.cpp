#include "installer_parts_support.h"

#include <objbase.h>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "frame/frame_state_windows.h"

namespace {

// The shortcut needs COM on the thread that runs the tests, as the installer's
// process entry provides it.
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

std::wstring WindowsPath(const char* hostPath) {
  std::wstring path = L"Z:";
  for (const char* c = hostPath; *c != '\0'; ++c) {
    path += *c == '/' ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(*c));
  }
  return path;
}

std::wstring DemoSetupProgram() {
  return WindowsPath(DEMO_SETUP_EXE);
}
std::wstring StartMarkerProgram() {
  return WindowsPath(START_MARKER_EXE);
}
std::wstring InstallerProgram() {
  return WindowsPath(INSTALLER_EXE);
}
std::wstring InstallerStubProgram() {
  return WindowsPath(INSTALLER_STUB_EXE);
}
std::wstring PayloadArchive() {
  return WindowsPath(PAYLOAD_ARCHIVE);
}

std::vector<MessageBoxView> RunAnsweringBoxes(
    const std::function<void()>& work,
    const std::function<void(const MessageBoxView&)>& beforeAnswer) {
  std::vector<MessageBoxView> boxes;
  HANDLE thread =
      CreateThread(nullptr, 0, RunWork, const_cast<std::function<void()>*>(&work), 0, nullptr);
  if (thread == nullptr) {
    ADD_FAILURE() << "cannot start a thread";
    return boxes;
  }
  std::vector<HWND> answered;
  DWORD start = GetTickCount();
  while (WaitForSingleObject(thread, 20) == WAIT_TIMEOUT) {
    for (HWND box : FindMessageBoxes(GetCurrentProcessId())) {
      bool known = false;
      for (HWND seen : answered) {
        known = known || seen == box;
      }
      if (!known) {
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
      break;
    }
  }
  CloseHandle(thread);
  return boxes;
}

bool WaitForFile(const std::wstring& path, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  while (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
    if (GetTickCount() - start > timeoutMs) {
      return false;
    }
    Sleep(20);
  }
  return true;
}

std::map<std::string, std::string> WaitForStartRecord(const std::wstring& folder, DWORD timeoutMs) {
  std::map<std::string, std::string> record;
  std::wstring path = folder + L"\\setup-started.txt";
  if (!WaitForFile(path, timeoutMs)) {
    return record;
  }
  std::istringstream lines(ReadWholeFile(path));
  std::string line;
  while (std::getline(lines, line)) {
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    size_t equals = line.find('=');
    if (equals != std::string::npos) {
      record[line.substr(0, equals)] = line.substr(equals + 1);
    }
  }
  return record;
}

void EndProgram(DWORD processId) {
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, processId);
  if (process != nullptr) {
    TerminateProcess(process, 0);
    WaitForSingleObject(process, 5000);
    CloseHandle(process);
  }
}

std::string Utf8(const std::wstring& text) {
  return ToUtf8(text);
}

std::string ReadWholeFile(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}
