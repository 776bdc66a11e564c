// The launcher's glue to the run-time localizer: tells it which application it translates,
// where the language files and the translated modules lie and which language the user chose,
// then switches to that language. A failure never stops the launcher: it is reported and the
// launcher goes on in its built-in language.
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace onfly {
class TKLocalizerOnFly;
}

namespace product {

// What the glue uses of the run-time localizer.
class TLocalizerAccess {
public:
    virtual ~TLocalizerAccess() = default;
    virtual void SetShowErrors(bool value) = 0;
    virtual void SetDeleteOldDLLs(bool value) = 0;
    virtual void SetTranslateLibraries(bool value) = 0;
    virtual void SetAppFileName(const std::string& fileName) = 0;
    virtual std::string LangFolder() = 0;
    virtual void SetLangFolder(const std::string& folder) = 0;
    virtual std::string DLLFolder() = 0;
    virtual void SetDLLFolder(const std::string& folder) = 0;
    virtual void Init(const std::string& langFolder) = 0;
    virtual void SwitchToLangCode(const std::string& code) = 0;
};

// The product side of one run: settings, file names, debug output and the error box.
struct TLocalizerGlueEnv {
    std::function<void()> InitLanguageSettings;
    std::function<std::string()> LanguageCode;
    std::function<std::string()> LanguageFolder;
    std::function<std::string()> ModuleFolder;  // temporary path + "Lang-TempFolderName"
    std::function<std::string()> ExeFileName;
    std::function<std::string()> BasePath;
    std::function<void(const std::string&)> DebugLog;
    std::function<void(const std::string&)> ShowErrorBox;  // default caption
};

// Names of the steps, as the error report shows them.
inline constexpr const char* kLngBefore = "LNG_Before";
inline constexpr const char* kLngCheckOverrideExe = "LNG_CheckOverrideExe";
inline constexpr const char* kLngDelDLLSet = "LNG_DelDLLSet";
inline constexpr const char* kLngSetAppName = "LNG_SetAppName";
inline constexpr const char* kLngTempDirSet = "LNG_TempDirSet";
inline constexpr const char* kLngInit = "LNG_Init";
inline constexpr const char* kLngSwitchExt = "LNG_SwitchExt";
inline constexpr const char* kLngDone = "LNG_Done";

struct TLocalizerReportData {
    std::string ErrorMessage;
    std::string Step;
    std::string LangCode;
    std::string LangFolder;
    std::string LangFolderFromObject;
    std::string DLLFolder;
    std::string DLLFolderFromObject;
    std::string ExeUsed;
    std::string RealExe;
};

// The text of the error box (lines end in CR LF).
std::string LocalizerReportText(const TLocalizerReportData& data);

// What one run did: the last step entered and, after a failure, the report shown.
struct TLocalizerGlueResult {
    bool Configured = false;  // a language code was set
    bool Failed = false;
    std::string Step;
    std::string Report;
};

// The whole glue against any localizer. Only exceptions of the base exception type are caught;
// others travel on.
TLocalizerGlueResult RunLocalizerGlue(const std::string& overrideExe, TLocalizerAccess& localizer,
                                      const TLocalizerGlueEnv& env);

// The glue's view of a run-time localizer object (the program's one is OnFlyLocalizer()).
std::unique_ptr<TLocalizerAccess> OnFlyAccess(onfly::TKLocalizerOnFly& localizer);

#ifdef _WIN32
// The launcher's call: the program's one localizer and the product's own settings.
void StartLocalizer(const std::string& overrideExe);
#endif

}  // namespace product
