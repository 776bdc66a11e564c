#include "localizer/onfly/OnFlyGlobal.h"
#include "product/NVTools.h"
#include "product/brmkVTPLocalizer.h"
#include "product/brmkVTPTools.h"

namespace product {

void StartLocalizer(const std::string& overrideExe) {
    TLocalizerGlueEnv env;
    env.InitLanguageSettings = InitLanguageSettings;
    env.LanguageCode = GetLanguageCode;
    env.LanguageFolder = GetLanguageFolder;
    env.ModuleFolder = [] { return GetTempDir() + GetSystemCfgValue(cfgLangTempFolderName); };
    env.ExeFileName = GetExeFileName;
    env.BasePath = GetBasePath;
    env.DebugLog = [](const std::string& text) { DebugLog(text); };
    env.ShowErrorBox = [](const std::string& text) { ShowErrorBox(text, ""); };
    RunLocalizerGlue(overrideExe, *OnFlyAccess(onfly::OnFlyLocalizer()), env);
}

}  // namespace product
