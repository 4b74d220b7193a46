// The recovery event log file as the programs read it: lines of 8-bit text,
// each ended by LF or CR LF, appended by the hub library's monitor.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vostrel::program {

// The log's file name; the library appends to it in its current folder.
inline constexpr char kEventLogFileName[] = "vostrel.log";

// The lines of the bytes in order, each without its line break and as text
// (textFromBytes). A last line without a line break counts: it may be torn,
// still being written.
std::vector<std::string> logLines(std::string_view bytes);

// Every line of the file; none when it cannot be read.
std::vector<std::string> readLogFile(const std::string& path);

// The file's last line that is not empty, as text; empty when there is
// none or the file cannot be read. Reads only the end of the file.
std::string readLastLogLine(const std::string& path);

}  // namespace vostrel::program
