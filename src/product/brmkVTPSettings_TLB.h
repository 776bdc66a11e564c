// The settings library's GlobalOptions object: a dual interface whose methods the program
// reaches by v-table slot.
#pragma once

#include <string>

#include "framework/win32/ComObj.h"

namespace product {

inline constexpr const char* CLASS_GlobalOptions = "{52399F61-8226-4B47-98F9-DFA6B655DF51}";
inline constexpr const char* IID_IGlobalOptions = "{91EF6FE5-8D54-4B6E-BB7D-DBAA19ED564A}";
// HRESULT Method([out, retval] BSTR*) entries of IGlobalOptions.
inline constexpr int kGlobalOptions_ProductState = 42;
inline constexpr int kGlobalOptions_LanguageCode = 54;

class CoGlobalOptions {
public:
    // CoCreateInstance, then the interface ("Interface not supported" when not offered).
    static fw::TComPtr<IDispatch> Create();
};

}  // namespace product
