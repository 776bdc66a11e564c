// Reading the inputs of the translators' commands: one line naming the file and what is wrong.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "localizer/langres/LangFormat.h"

namespace vtploc {

std::vector<uint8_t> ReadFile(const std::string& file);
langres::TLangFileImage ReadLangFile(const std::string& file);
// The file named by --native, refused when it is a translation.
langres::TLangFileImage ReadNative(const std::string& file);

}  // namespace vtploc
