// brmkVTPStart: the start program of Vantra Pro. One pass on the GUI thread: temporary language
// folder, translation into the user's language, title, application window, check chain, failure
// report, launch, end.
#include <windows.h>

#include "framework/win32/Forms.h"
#include "framework/win32/SysInit.h"
#include "launcher/Launcher.h"
#include "launcher/resource.h"
#include "product/NVTools.h"
#include "product/brmkVTPLocalizer.h"
#include "product/brmkVTPTools.h"

namespace {

// The framework's report for an error nobody handled: the message, then the end of the run.
int DefaultErrorReport(const std::string& message) {
    std::string caption = fw::Application().Title();
    MessageBoxA(nullptr, message.c_str(), caption.c_str(), MB_ICONERROR | MB_OK);
    return 1;
}

void HideFromTaskBar(HWND wnd) {
    LONG style = GetWindowLongA(wnd, GWL_EXSTYLE);
    style = (style & ~static_cast<LONG>(WS_EX_APPWINDOW)) | WS_EX_TOOLWINDOW;
    SetWindowLongA(wnd, GWL_EXSTYLE, style);
}

// The settings object goes before COM does, on every way out of the run (a report that fails,
// an error nobody expected): the application object uninitialises COM when it is destroyed at
// exit, and a Release after that would call into an unloaded server.
struct ReleaseSettingsObject {
    ~ReleaseSettingsObject() { launcher::SettingsObject.Clear(); }
};

int Run() {
    using namespace launcher;
    ReleaseSettingsObject releaseFirst;
    fw::InitModuleList();
    PrepareTempLangFolder(false);
    // Before any text of the string table is loaded, so that all of them come out translated.
    product::StartLocalizer("");
    product::SetAppTitle(fw::LoadResString(S_AppTitle, "$appname2 Starter"));
    fw::TApplication& app = fw::Application();
    app.Initialize();
    ChecksPassed = false;
    HideFromTaskBar(app.Handle());
    try {
        RunCheckChain();
        ChecksPassed = true;
    } catch (const fw::Exception& e) {
        ReportCheckFailure(e.Message());
    }
    if (ChecksPassed) {
        LaunchMainProgram();
        if (SettingsObject) product::SleepMs(1);
    }
    SettingsObject.Clear();
    app.Terminate();
    return 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    try {
        return Run();
    } catch (const std::exception& e) {
        return DefaultErrorReport(e.what());
    }
}
