#include <windows.h>

#include <memory>

#include "framework/win32/Shell.h"
#include "framework/win32/SysInit.h"
#include "product/NVTools.h"
#include "product/brmkRegistry.h"
#include "product/brmkVTPTools.h"

namespace product {
namespace {

std::string g_basePath;
std::unique_ptr<TSystemCfgList> g_cfg;
std::string g_langFolder, g_langCode;
bool g_langLoaded = false;

}  // namespace

void ResetProductCaches() {
    g_basePath.clear();
    g_cfg.reset();
    g_langFolder.clear();
    g_langCode.clear();
    g_langLoaded = false;
}

std::string GetExeFileName() {
    return fw::ModuleFileName(nullptr);
}

std::string GetBasePath() {
    if (!g_basePath.empty()) return g_basePath;
    std::string value;
    {
        TBRMKRegistry reg;
        reg.SetRootKey(HKEY_LOCAL_MACHINE);
        if (reg.OpenKey(kProductRegKey, false)) value = reg.ReadString(kAppDirValue);
        reg.CloseKey();
    }
    g_basePath = BasePathFrom(value, GetExeFileName());
    return g_basePath;
}

std::string GetSystemCfgValue(uint8_t index) {
    if (!g_cfg) {
        g_cfg = std::make_unique<TSystemCfgList>();
        try {
            g_cfg->LoadFromFile(GetBasePath() + kSystemCfgFile);
        } catch (...) {
            // A missing, unreadable or unmanageable file (no memory for it) reads as empty: the
            // check step reports it.
            g_cfg->SetText(std::string());
        }
    }
    return g_cfg->Value(SystemCfgKeyName(index));
}

void InitLanguageSettings() {
    if (g_langLoaded) return;
    g_langCode.clear();
    g_langFolder = GetBasePath() + GetSystemCfgValue(cfgLangFolder);
    {
        TBRMKRegistry reg;
        reg.SetRootKey(HKEY_CURRENT_USER);
        if (reg.OpenKey(kProductRegKey, false)) g_langCode = reg.ReadString(GetSystemCfgValue(cfgLangRegValueName));
        reg.CloseKey();
    }
    g_langLoaded = true;
}

std::string GetLanguageFolder() {
    return g_langFolder;
}
std::string GetLanguageCode() {
    return g_langCode;
}

std::string ExpandAppNames(const std::string& text) {
    return ExpandAppNamesWith(text, GetSystemCfgValue);
}

void SetAppTitle(const std::string& text) {
    std::string t = text.find('$') != std::string::npos ? ExpandAppNames(text) : text;
    SetWindowTextA(GetActiveWindow(), t.c_str());
}

std::string FormatSystemError(uint32_t code) {
    std::string buf(2048, '\0');
    DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, buf.data(),
                             2048, nullptr);
    buf.resize(n);
    return FormatSystemErrorText(code, buf);
}

std::string LastErrorText() {
    return FormatSystemError(GetLastError());
}

int ShowMessageBox(const std::string& text, unsigned style, const std::string& caption) {
    HWND wnd = GetActiveWindow();
    std::string cap = caption;
    if (cap.empty() && wnd) {
        char buf[256] = {};
        GetWindowTextA(wnd, buf, 256);
        cap = buf;
    }
    if (cap.empty()) cap = GetSystemCfgValue(cfgAppName1);
    if (cap.empty()) cap = GetExeFileName();
    return MessageBoxA(wnd, text.c_str(), cap.c_str(), style);
}

void ShowErrorBox(const std::string& text, const std::string& caption) {
    ShowMessageBox(text, MB_ICONERROR, caption);
}

void AllowAnyForeground() {
    HMODULE user = LoadLibraryA("user32.dll");
    if (!user) return;
    using Proc = BOOL(WINAPI*)(DWORD);
    auto proc = reinterpret_cast<Proc>(reinterpret_cast<void*>(GetProcAddress(user, "AllowSetForegroundWindow")));
    if (proc) proc(static_cast<DWORD>(-1));  // ASFW_ANY
    FreeLibrary(user);
}

void ShellOpen(const std::string& fileName, const std::string& parameters, int showCommand) {
    AllowAnyForeground();
    if (fw::ShellExecuteOpen(GetActiveWindow(), fileName, parameters, std::string(), showCommand)) return;
    ShowErrorBox(ShellOpenErrorText(fileName, parameters, LastErrorText()), std::string());
}

void OpenDocument(const std::string& fileName) {
    ShellOpen(fileName, std::string(), SW_SHOWNORMAL);
}

void ExecuteProgram(const std::string& fileName, const std::string& parameters) {
    ShellOpen(fileName, parameters, SW_SHOWNORMAL);
}

bool FileExists(const std::string& fileName) {
    DWORD a = GetFileAttributesA(fileName.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

bool DirectoryExists(const std::string& name) {
    DWORD a = GetFileAttributesA(name.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string FormatLangFileName(const std::string& pattern, const std::string& langCode) {
    return FormatLangFileNameWith(pattern, langCode, FileExists);
}

}  // namespace product
