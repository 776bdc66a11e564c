// A binary form made from its text form, for the tests that build programs in memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "localizer/resources/FormConvert.h"

namespace restest {

// 8-bit text in the code page of langId; with utf8 stored as UTF-8 where it is not ASCII.
inline std::vector<uint8_t> FormFromText(const std::string& text, uint32_t langId = 0, bool utf8 = false) {
    fw::TBytesStream src(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int64_t>(text.size()));
    fw::TMemoryStream form;
    resources::FormTextToBinary(src, form, utf8, langId);
    return form.Bytes();
}

}  // namespace restest
