// How the archive tool speaks: one line per problem on stderr, entry names
// shown with unprintable bytes escaped.
#pragma once

#include <cstdint>
#include <string>

// Prints "eek: " and the text as one line on stderr.
void ReportProblem(const std::string& text);

// The name with control bytes, backslashes and bytes above 0x7E written as
// \xNN, so that a
// name from a damaged archive cannot upset the terminal.
std::string PrintableName(const char* name, int32_t length);
std::string PrintableName(const std::string& name);

// The text as a JSON string, quotes included.
std::string JsonString(const std::string& text);
