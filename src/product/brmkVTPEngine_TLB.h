// The engine's PluginInstall object: a dual interface reached by v-table slot.
#pragma once

#include "framework/win32/ComObj.h"

namespace product {

inline constexpr const char* CLASS_PluginInstall = "{A820830D-FA2B-44F7-99E1-77685344A886}";
inline constexpr const char* IID_IPluginInstall = "{B1F6739D-805B-4A1A-93A9-2B6D56B25C72}";
inline constexpr int kPluginInstall_EngineState = 7;

class CoPluginInstall {
public:
    static fw::TComPtr<IDispatch> Create();
};

}  // namespace product
