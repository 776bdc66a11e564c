// Generic tools: debug output, temporary path, sleep, left part of a text.
#pragma once

#include <cstdint>
#include <string>

namespace product {

// The framing of every debug-output line.
std::string DebugLogLine(const std::string& text);
std::string LeftStr(const std::string& text, int count);

#ifdef _WIN32
void DebugLog(const std::string& text);
std::string GetTempDir();
void SleepMs(uint32_t milliseconds);
#endif

}  // namespace product
