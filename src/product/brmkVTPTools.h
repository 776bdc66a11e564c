// The product's shared configuration and tool routines: base path, the system configuration
// file with its index-to-key table, language settings, application names, message boxes,
// system error texts and the shell.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace product {

inline constexpr const char* kCheckValue = "{5A1C93E2-7D44-4b0e-9F21-6C0B8E3D4A57}";
inline constexpr const char* kProductRegKey = "Software\\Norv Systems\\Vantra Pro\\CurrentVersion";
inline constexpr const char* kAppDirValue = "App Dir";
inline constexpr const char* kSystemCfgFile = "cfg\\system.cfg";
// A larger file is treated as unreadable.
inline constexpr int64_t kMaxSystemCfgSize = int64_t{16} << 20;

// Indexes of the keys the launcher reads.
enum : uint8_t {
    cfgCheck = 3,
    cfgLangFolder = 14,
    cfgLangRegValueName = 15,
    cfgAppName1 = 17,
    cfgAppName2 = 18,
    cfgItemsDir = 29,  // + n: the run-time packages SysFile_BPL_VCL1..5
    cfgDllRichEdit = 36,
    cfgExeFileExec = 46,
    cfgLangTempFolderName = 99,
};

// ---- portable part ----

// The key name of an index; "" for indexes the table does not list.
std::string SystemCfgKeyName(uint8_t index);

// The lines of the system configuration file, looked up by key name.
class TSystemCfgList {
public:
    // Raises the stream error of the file (EFOpenError, EReadError; EReadError too for a file
    // over kMaxSystemCfgSize).
    void LoadFromFile(const std::string& fileName);
    void SetText(const std::string& text);  // lines end in CR LF, LF or CR
    const std::vector<std::string>& Lines() const { return lines_; }
    // The value of the first "name=value" line whose name equals `name` (locale-aware, letter
    // case ignored, nothing trimmed); "" when none.
    std::string Value(const std::string& name) const;

private:
    std::vector<std::string> lines_;
};

bool SameKeyName(const std::string& a, const std::string& b);
// The check rule of the configuration file: exact, case-sensitive.
bool IsCheckValueValid(const std::string& value);
// Base path from the registry value, else from the executable's folder (which lives in a
// three-letter subfolder of the installation); "" when neither gives one.
std::string BasePathFrom(const std::string& appDirValue, const std::string& exeFileName);

std::string ReplaceAll(const std::string& text, const std::string& pattern, const std::string& replacement);
std::string ExpandAppNamesWith(const std::string& text, const std::function<std::string(uint8_t)>& cfgValue);
// codeText is the system's text for the code (possibly empty).
std::string FormatSystemErrorText(uint32_t code, std::string systemText);
std::string ShellOpenErrorText(const std::string& fileName, const std::string& parameters,
                               const std::string& errorText);
std::string FormatLangFileNameWith(const std::string& pattern, const std::string& langCode,
                                   const std::function<bool(const std::string&)>& fileExists);

// ---- process-wide, Windows ----
#ifdef _WIN32
std::string GetBasePath();
std::string GetSystemCfgValue(uint8_t index);
void InitLanguageSettings();
std::string GetLanguageFolder();
std::string GetLanguageCode();
std::string GetExeFileName();
std::string ExpandAppNames(const std::string& text);
void SetAppTitle(const std::string& text);
std::string FormatSystemError(uint32_t code);
std::string LastErrorText();
int ShowMessageBox(const std::string& text, unsigned style, const std::string& caption);
void ShowErrorBox(const std::string& text, const std::string& caption);
void AllowAnyForeground();
void ShellOpen(const std::string& fileName, const std::string& parameters, int showCommand);
void OpenDocument(const std::string& fileName);
void ExecuteProgram(const std::string& fileName, const std::string& parameters);
std::string FormatLangFileName(const std::string& pattern, const std::string& langCode);
bool FileExists(const std::string& fileName);
bool DirectoryExists(const std::string& name);
// Forgets the cached base path, configuration and language settings (tests only).
void ResetProductCaches();
#endif

}  // namespace product
