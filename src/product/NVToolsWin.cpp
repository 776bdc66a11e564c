#include <windows.h>

#include <vector>

#include "product/NVTools.h"

namespace product {

void DebugLog(const std::string& text) {
    OutputDebugStringA(DebugLogLine(text).c_str());
}

std::string GetTempDir() {
    std::vector<char> buf(513, '\0');
    GetTempPathA(512, buf.data());
    std::string s(buf.data());
    if (s.empty()) DebugLog("Win API function GetTempPath() returned an empty path!!");
    return s;
}

void SleepMs(uint32_t milliseconds) {
    Sleep(milliseconds);
}

}  // namespace product
