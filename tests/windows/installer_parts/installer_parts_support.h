// Support for the installer-part tests under Wine: files of the build tree,
// message boxes answered while a routine runs, and the start record that the
// demo setup program leaves.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "watcher/message_box_reader.h"

// A file of the build tree, given by its host path, as Windows programs see it.
std::wstring BuildFile(const char* hostPath);

// Runs work on a thread of its own and answers every message box the process
// shows meanwhile with OK, after handing it to beforeAnswer. Returns the boxes
// in the order they came.
std::vector<MessageBoxView> RunAnsweringBoxes(
    const std::function<void()>& work,
    const std::function<void(const MessageBoxView&)>& beforeAnswer = nullptr);

bool WaitForFile(const std::wstring& path, DWORD timeoutMs = 15000);

// The "key=value" lines of setup-started.txt in folder, once the demo setup
// program has written it (empty after 15 s). The record is removed and the
// program that wrote it ended.
std::map<std::string, std::string> TakeStartRecord(const std::wstring& folder);

std::string ReadWholeFile(const std::wstring& path);
