// Support for the installer-part tests under Wine: the programs the build made
// (as Windows paths), boxes answered while a routine runs on a thread of its
// own, the start record of the demo setup program, and COM on the test thread.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "watcher/message_box_reader.h"

// A path of the build tree (a host path) as the Windows programs see it.
std::wstring WindowsPath(const char* hostPath);

// The programs and files of the build the tests use.
std::wstring DemoSetupProgram();      // the demo product's setup.exe
std::wstring StartMarkerProgram();    // leaves "<its own path>.ran" and ends
std::wstring InstallerProgram();      // with the payload
std::wstring InstallerStubProgram();  // without a payload
std::wstring PayloadArchive();        // the archive linked into the installer

// Runs work on a new thread and answers every message box the process shows
// meanwhile with its OK button, after handing it to beforeAnswer. Returns the
// boxes in the order they came.
std::vector<MessageBoxView> RunAnsweringBoxes(
    const std::function<void()>& work,
    const std::function<void(const MessageBoxView&)>& beforeAnswer = nullptr);

// Waits up to timeoutMs for a file to exist.
bool WaitForFile(const std::wstring& path, DWORD timeoutMs);

// The "key=value" lines of the demo setup program's setup-started.txt in
// folder, once it is there (empty after timeoutMs).
std::map<std::string, std::string> WaitForStartRecord(const std::wstring& folder,
                                                      DWORD timeoutMs = 15000);

// Ends the process with that identifier, if it still runs, and waits for it.
void EndProgram(DWORD processId);

std::string Utf8(const std::wstring& text);
std::string ReadWholeFile(const std::wstring& path);
