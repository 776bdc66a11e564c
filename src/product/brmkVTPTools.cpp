#include "product/brmkVTPTools.h"

#include <array>

#include "framework/Classes.h"
#include "framework/SysUtils.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace product {
namespace {

// Shared by all programs of the product; the launcher uses a few of them.
const std::array<const char*, 100> kKeyTable = [] {
    std::array<const char*, 100> t{};
    const char* names[] = {"Tools-Section",
                           "Tools-FileName",
                           "Tools-Translation",
                           "Check",
                           "Favorites-Section",
                           "Favorites-FileName",
                           "LogFile_Current",
                           "LogFile_Archive",
                           "Logfile_MAX_SIZE",
                           "Files-Plugins_FileSpec",
                           "Files-Plugins_Extension",
                           "Files-Wizards_FileSpec",
                           "Files-Wizards_Extension",
                           "Lang-LangDefault",
                           "Lang-LangFolder",
                           "Lang-RegValueName",
                           "System_Mutex_Name",
                           "System_AppName1",
                           "System_AppName2",
                           "System_Version",
                           "System_Copyright",
                           "System_Company",
                           "Reg_Software_Company",
                           "Reg_Software_Product",
                           "Reg_Software_Version",
                           "Reg_Software_Check",
                           "DefaultFolder-EzPluginDir",
                           "DefaultFolder-RestoreLogDir",
                           "DefaultFolder-LogfileDir",
                           "DefaultFolder-ItemsDir",
                           "SysFile_BPL_VCL1",
                           "SysFile_BPL_VCL2",
                           "SysFile_BPL_VCL3",
                           "SysFile_BPL_VCL4",
                           "SysFile_BPL_VCL5",
                           "SysFile_BPL_VTP1",
                           "SysFile_DLL_RichEdit",
                           "SysFile_COM_VCL",
                           "SysFile_COM_MSScript",
                           "SysFile_COM_VTP1",
                           "SysFile_COM_VTP2",
                           "LinkFile_DefaultUI",
                           "LinkFile_Welcome",
                           "LinkFile_Wizards",
                           "LinkFile_AutoUpdate",
                           "LinkFile_Partnersite",
                           "EXEFile_Exec",
                           "EXEFile_Start",
                           "EXEFile_Wizard",
                           "EXEFile_UI",
                           "EXEFile_Info",
                           "EXEFile_Config",
                           "EXEFile_Update",
                           "EXEFile_ReadMe"};
    for (size_t i = 0; i < std::size(names); ++i) t[i] = names[i];  // 0..53
    const char* tail[] = {"EXEFile_Partnersite1",
                          "EXEFile_Partnersite2",
                          "EXEFile_TipTricks",
                          "EXEFile_TipTricksUpdate",
                          "EXEFile_HelpMain",
                          "EXEFile_Web_Homepage",
                          "EXEFile_Web_Support",
                          "EXEFile_Web_Forum",
                          "AutoUpdate_Site1",
                          "AutoUpdate_Site2",
                          "AutoUpdate_InstallCheck",
                          "CacheFile_Plugins",
                          "CacheFile_Wizards",
                          "SymbolFile1_Small_HighCol",
                          "SymbolFile1_Big_HighCol",
                          "SymbolFile1_Small_LoCol",
                          "SymbolFile1_Big_LoCol",
                          "SymbolFile2_Small_HighCol",
                          "SymbolFile2_Small_LoCol",
                          "AboutCfg-File",
                          "TeamCfg-File",
                          "VersionHistoryCfg-File",
                          "VersionHistoryCfg-PlugSection",
                          "DefaultConfig-Font1",
                          "DefaultConfig-Font2",
                          "DefaultConfig-Font3",
                          "DefaultConfig-ExtEditor",
                          "BartPE_Check1",
                          "BartPE_Check2",
                          "BartPE_PEPlugSubFolder",
                          "BartPE_CopyFile1",
                          "BartPE_CopyFile2",
                          "BartPE_CopyFile3",
                          "BartPE_URL",
                          "BartPE_Exec",
                          "EXEFile_RestoreLogPlayer"};
    for (size_t i = 0; i < std::size(tail); ++i) t[55 + i] = tail[i];  // 55..90
    t[98] = "DefaultFolder-ItemsTranslationDir";
    t[99] = "Lang-TempFolderName";
    return t;
}();

}  // namespace

std::string SystemCfgKeyName(uint8_t index) {
    if (index >= kKeyTable.size() || !kKeyTable[index]) return {};
    return kKeyTable[index];
}

void TSystemCfgList::LoadFromFile(const std::string& fileName) {
    fw::TFileStream f(fileName, fw::fmOpenRead);
    // No configuration is that large: refused before anything is allocated for it.
    if (f.Size() > kMaxSystemCfgSize)
        throw fw::EReadError(fw::Format("%s is too large to be a configuration file", {fileName}));
    std::string text(static_cast<size_t>(f.Size()), '\0');
    f.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
    SetText(text);
}

void TSystemCfgList::SetText(const std::string& text) {
    lines_.clear();
    size_t i = 0;
    while (i < text.size()) {
        size_t j = i;
        while (j < text.size() && text[j] != '\r' && text[j] != '\n') ++j;
        lines_.push_back(text.substr(i, j - i));
        if (j < text.size() && text[j] == '\r') {
            ++j;
            if (j < text.size() && text[j] == '\n') ++j;
        } else if (j < text.size()) {
            ++j;
        }
        i = j;
    }
}

bool SameKeyName(const std::string& a, const std::string& b) {
#ifdef _WIN32
    // The user's locale decides which letters are the same.
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
#else
    return fw::SameTextAscii(a, b);
#endif
}

std::string TSystemCfgList::Value(const std::string& name) const {
    for (const auto& line : lines_) {
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        if (SameKeyName(line.substr(0, eq), name)) return line.substr(eq + 1);
    }
    return {};
}

bool IsCheckValueValid(const std::string& value) {
    return value == kCheckValue;
}

std::string BasePathFrom(const std::string& appDirValue, const std::string& exeFileName) {
    if (!appDirValue.empty()) {
        if (appDirValue.back() == '\\') return appDirValue;
        return appDirValue + "\\";
    }
    if (exeFileName.empty()) return {};
    size_t slash = exeFileName.find_last_of("\\:");
    std::string folder = slash == std::string::npos ? std::string() : exeFileName.substr(0, slash + 1);
    if (folder.size() > 5) return folder.substr(0, folder.size() - 4);
    return {};
}

std::string ReplaceAll(const std::string& text, const std::string& pattern, const std::string& replacement) {
    if (pattern.empty()) return text;
    std::string result;
    size_t pos = 0;
    for (;;) {
        size_t hit = text.find(pattern, pos);
        if (hit == std::string::npos) {
            result.append(text, pos, std::string::npos);
            return result;
        }
        result.append(text, pos, hit - pos);
        result += replacement;
        pos = hit + pattern.size();
    }
}

std::string ExpandAppNamesWith(const std::string& text, const std::function<std::string(uint8_t)>& cfgValue) {
    std::string s = text;
    if (s.find("$appname1") != std::string::npos) s = ReplaceAll(s, "$appname1", cfgValue(cfgAppName1));
    if (s.find("$appname2") != std::string::npos) s = ReplaceAll(s, "$appname2", cfgValue(cfgAppName2));
    return s;
}

std::string FormatSystemErrorText(uint32_t code, std::string systemText) {
    if (systemText.size() > 10 && systemText.compare(systemText.size() - 2, 2, "\r\n") == 0) {
        systemText.resize(systemText.size() - 2);
        systemText += ' ';
    }
    return systemText + "(rc: " + std::to_string(code) + ")";
}

std::string ShellOpenErrorText(const std::string& fileName, const std::string& parameters,
                               const std::string& errorText) {
    if (parameters.empty()) return fileName + ": " + errorText;
    return fileName + " (" + parameters + "): " + errorText;
}

std::string FormatLangFileNameWith(const std::string& pattern, const std::string& langCode,
                                   const std::function<bool(const std::string&)>& fileExists) {
    // The pattern holds a path: only the "%s" of its file name is a placeholder, a "%" in a
    // folder name ("D:\50%sale\") is text.
    const size_t nameStart = pattern.find_last_of("\\/:") == std::string::npos ? 0 : pattern.find_last_of("\\/:") + 1;
    auto fill = [&pattern, nameStart](const std::string& code) {
        size_t at = pattern.find("%s", nameStart);
        return at == std::string::npos ? pattern : pattern.substr(0, at) + code + pattern.substr(at + 2);
    };
    std::string name = fill(langCode);
    if (langCode.empty() || !fileExists(name)) name = fill("EN");
    return name;
}

}  // namespace product
