// The failure report of the check chain and the launch of the main program.
#include <windows.h>
// needs <windows.h> first
#include <shellapi.h>

#include "framework/win32/Dialogs.h"
#include "launcher/Launcher.h"
#include "launcher/resource.h"
#include "product/NVTools.h"
#include "product/brmkVTPSettings_TLB.h"
#include "product/brmkVTPTools.h"

namespace launcher {

using namespace product;

namespace {

const char kFallbackText[] =
#include "launcher/FallbackText.inc"
    ;

const char* kFailFilePattern = "lang\\chkfail-%s.txt";

}  // namespace

std::string FallbackText() {
    return std::string(kFallbackText, sizeof kFallbackText - 1);
}

std::string BuildReportText(const std::string& stepDescription, const std::string& exceptionMessage) {
    const std::string crlf = "\r\n";
    return fw::LoadResString(S_FailMessage_1,
                             "We are sorry, but your computer failed to meet the requirements to run Vantra Pro. The "
                             "check failed on step:") +
           crlf + crlf + stepDescription + " (" + exceptionMessage + ")" + crlf + crlf +
           fw::LoadResString(S_FailMessage_2a,
                             "- click \"OK\" to view see problem (and the possible solution). The file that is "
                             "displayed contains for each \"Step\" an detailed description what you can do.") +
           crlf + crlf +
           fw::LoadResString(S_FailMessage_2b,
                             "- click \"Ignore\" to ignore this error and continue which is NOT RECOMMENDED!") +
           crlf + crlf + fw::LoadResString(S_FailMessage_2c, "- click \"Abort\" to exit now.");
}

void ReportCheckFailure(const std::string& exceptionMessage) {
    std::string langCode;
    // Not caught here: a settings object that fails to answer ends the run.
    if (SettingsObject) langCode = fw::CallBstrSlot(SettingsObject.Get(), kGlobalOptions_LanguageCode);
    std::string failFile = FormatLangFileName(GetBasePath() + kFailFilePattern, langCode);
    if (!FileExists(failFile)) {
        ShowErrorBox(FallbackText(), std::string());
        return;
    }
    int result = fw::MessageDlg(BuildReportText(StepDescription, exceptionMessage), fw::TMsgDlgType::mtWarning,
                                {fw::TMsgDlgBtn::mbOK, fw::TMsgDlgBtn::mbAbort, fw::TMsgDlgBtn::mbIgnore});
    if (result == fw::mrOk) {
        ShellOpen(failFile, std::string(), SW_SHOWNORMAL);
        ChecksPassed = false;
    } else if (result == fw::mrIgnore) {
        ChecksPassed = true;
    } else {
        ChecksPassed = false;
    }
}

std::string JoinArguments(const std::vector<std::string>& args) {
    std::string joined;
    for (const auto& a : args) joined += a + " ";
    return fw::Trim(joined);
}

std::vector<std::string> CommandLineArguments() {
    std::vector<std::string> args;
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return args;
    for (int i = 1; i < argc; ++i) {
        int n = WideCharToMultiByte(CP_ACP, 0, argv[i], -1, nullptr, 0, nullptr, nullptr);
        std::string s(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
        if (n > 1) WideCharToMultiByte(CP_ACP, 0, argv[i], -1, s.data(), n, nullptr, nullptr);
        args.push_back(std::move(s));
    }
    LocalFree(argv);
    return args;
}

void LaunchMainProgram() {
    std::string program = GetBasePath() + GetSystemCfgValue(cfgExeFileExec);
    std::string arguments = JoinArguments(CommandLineArguments());
    ShellOpen(program, arguments, SW_SHOWNORMAL);
}

}  // namespace launcher
