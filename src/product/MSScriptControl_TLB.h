// The script control's class and interfaces, and a small wrapper over its dispatch interface.
#pragma once

#include <string>

#include "framework/win32/ComObj.h"

namespace product {

inline constexpr const char* CLASS_ScriptControl = "{0E59F1D5-1FBE-11D0-8FF2-00A0D10038BC}";
inline constexpr const char* IID_IScriptControl = "{0E59F1D3-1FBE-11D0-8FF2-00A0D10038BC}";
inline constexpr const char* DIID_DScriptControlSource = "{8B167D60-8605-11D0-ABCB-00A0C90FFFC0}";
inline constexpr DISPID DISPID_ScriptControl_Language = 1500;

// A windowless script control object; created in the constructor, released with the wrapper.
class TScriptControl {
public:
    TScriptControl();
    std::string Language();
    void SetLanguage(const std::string& language);
    void Reset();

private:
    fw::TComPtr<IDispatch> intf_;
};

}  // namespace product
