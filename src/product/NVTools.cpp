#include "product/NVTools.h"

namespace product {

std::string DebugLogLine(const std::string& text) {
    return "{Norv ODS} " + text + " {END}";
}

std::string LeftStr(const std::string& text, int count) {
    if (count <= 0) return {};
    if (static_cast<size_t>(count) >= text.size()) return text;
    return text.substr(0, static_cast<size_t>(count));
}

}  // namespace product
