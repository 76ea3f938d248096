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
const std::vector<std::string>& TraceHistory();
void ClearTraceHistory();

}  // namespace quen::platform
