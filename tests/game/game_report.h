// Reading what the stand-in game reports, for the game start's tests in process and end to
// end.
#pragma once

#include <map>
#include <string>

// The environment variable that makes the stand-in game write its report there and end.
constexpr char kReportVariable[] = "VESK_GAME_REPORT";

// The report's "name=value" lines. Empty when there is no report.
std::map<std::string, std::string> ReadGameReport(const std::string& path);

// The first bytes of a file as the game reports those of a view: hexadecimal pairs.
std::string FirstBytesOfFile(const std::string& path);

// True when nobody else holds the file open: the launcher has let go of it.
bool OpenableExclusively(const std::string& path);
