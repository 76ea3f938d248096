// The start-up and shut-down trace: one step name per line, written as each step begins.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quen::platform {

// Opens (truncating) the trace file; false when it cannot be created.
bool SetTraceFile(const std::string& host_path);
void CloseTrace();
// Also keeps the names in memory for whoever asks (tests, the log line).
void Trace(std::string_view step);
// True while a trace file is open.
bool TraceFileOpen();
// A line that goes to the trace file only (the command trace): not kept in memory and not
// flushed one by one, so tracing a long run stays cheap.
void TraceLine(std::string_view line);
const std::vector<std::string>& TraceHistory();
void ClearTraceHistory();

}  // namespace quen::platform
