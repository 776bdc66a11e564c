#include "product/brmkVTPLocalizer.h"

#include "framework/Classes.h"

namespace product {

std::string LocalizerReportText(const TLocalizerReportData& d) {
    const std::string crlf = "\r\n";
    return "An error occurred while trying to apply the translation to this application, we are sorry. "
           "The application will not be translated." +
           crlf + crlf + "The following information can be used by support to track down the problem:" + crlf +
           "Error: " + d.ErrorMessage + crlf + "Step: " + d.Step + crlf + "Lang Code: " + d.LangCode + crlf +
           "Lang Folder: " + d.LangFolder + crlf + "Lang Folder from object: " + d.LangFolderFromObject + crlf +
           "DLL Folder: " + d.DLLFolder + crlf + "DLL Folder from object: " + d.DLLFolderFromObject + crlf +
           "EXE used: " + d.ExeUsed + crlf + "Real EXE: " + d.RealExe + crlf;
}

TLocalizerGlueResult RunLocalizerGlue(const std::string& overrideExe, TLocalizerAccess& localizer,
                                      const TLocalizerGlueEnv& env) {
    TLocalizerGlueResult result;
    env.InitLanguageSettings();
    const std::string langCode = env.LanguageCode();
    const std::string langFolder = env.LanguageFolder();
    const std::string moduleFolder = env.ModuleFolder();

    if (langCode.empty()) {
        // No language chosen: the program stays in its own language, quietly.
        localizer.SetLangFolder("");
        localizer.SetDLLFolder("");
        localizer.SetTranslateLibraries(false);
        return result;
    }
    result.Configured = true;

    std::string appFile;  // empty until step LNG_CheckOverrideExe has set it
    std::string& step = result.Step;
    try {
        step = kLngBefore;
        localizer.SetShowErrors(false);  // errors are raised to us, not shown by the localizer

        step = kLngCheckOverrideExe;
        appFile = overrideExe.empty() ? env.ExeFileName() : env.BasePath() + overrideExe;
        env.DebugLog("VTP Loc starting for " + appFile);

        step = kLngDelDLLSet;
        localizer.SetDeleteOldDLLs(false);

        step = kLngSetAppName;
        localizer.SetAppFileName(appFile);

        step = kLngTempDirSet;
        localizer.SetDLLFolder(moduleFolder);

        step = kLngInit;
        localizer.Init(langFolder);

        step = kLngSwitchExt;
        localizer.SwitchToLangCode(langCode);

        step = kLngDone;
    } catch (const fw::Exception& e) {
        TLocalizerReportData d;
        d.ErrorMessage = e.Message();
        d.Step = step;
        d.LangCode = langCode;
        d.LangFolder = langFolder;
        d.LangFolderFromObject = localizer.LangFolder();
        d.DLLFolder = moduleFolder;
        d.DLLFolderFromObject = localizer.DLLFolder();
        d.ExeUsed = appFile;
        d.RealExe = env.ExeFileName();
        result.Failed = true;
        result.Report = LocalizerReportText(d);
        env.DebugLog("VTP Loc - Error: " + result.Report);
        env.ShowErrorBox(result.Report);
    }
    env.DebugLog("VTP Loc ended for " + appFile);
    return result;
}

}  // namespace product
