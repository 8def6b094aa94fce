// The archive tool's commands. Each returns the process exit code: 0 when all
// went well, 1 after reporting the problems on stderr.
#pragma once

#include <string>
#include <vector>

int RunPackCommand(const std::string& archivePath, const std::vector<std::string>& inputs);
int RunListCommand(const std::string& archivePath);
int RunTestCommand(const std::string& archivePath);
int RunExtractCommand(const std::string& archivePath, const std::string& folder);
