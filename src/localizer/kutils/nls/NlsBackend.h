// What the platform backends provide besides INls: the default backend of the process and the
// system code page's ANSI case mapping.
#pragma once

#include <string>

#include "localizer/kutils/KLocales.h"

namespace kutils::nls {

// The backend used when no test has substituted one; lives as long as the process.
INls& DefaultNls();

// Maps every character of text in place to lower (upper) case with the ANSI code page's rules.
void AnsiCaseMap(std::string& text, bool upper);

}  // namespace kutils::nls
