// Test helper: the bytes of a string-table block, for programs built entry by entry.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace restest {

// The data of one 16-string block: the count-prefixed UTF-16 records of its slots 0 to 15.
inline std::vector<uint8_t> StringBlockData(const std::map<int, std::u16string>& slots) {
    std::vector<uint8_t> b;
    for (int slot = 0; slot < 16; ++slot) {
        auto it = slots.find(slot);
        const std::u16string text = it == slots.end() ? u"" : it->second;
        b.push_back(static_cast<uint8_t>(text.size()));
        b.push_back(static_cast<uint8_t>(text.size() >> 8));
        for (char16_t c : text) {
            b.push_back(static_cast<uint8_t>(c));
            b.push_back(static_cast<uint8_t>(c >> 8));
        }
    }
    return b;
}

}  // namespace restest
