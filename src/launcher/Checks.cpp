// The fifteen check steps of the launcher and the temporary language folder.
#include <windows.h>

#include "framework/Classes.h"
#include "framework/win32/Packages.h"
#include "launcher/Launcher.h"
#include "launcher/resource.h"
#include "product/MSScriptControl_TLB.h"
#include "product/NVTools.h"
#include "product/NVVantraOSVersion.h"
#include "product/brmkVTPEngine_TLB.h"
#include "product/brmkVTPSettings_TLB.h"
#include "product/brmkVTPTools.h"

namespace launcher {

using namespace product;

std::string StepDescription;
bool ChecksPassed = false;
fw::TComPtr<IDispatch> SettingsObject;

namespace {

const char* kMsDosSys = "C:\\MSDOS.SYS";
const char* kMsDosSysFixed = "C:\\MSDOS.SYS.FIXED";

std::vector<std::string> SplitLines(const std::string& text) {
    TSystemCfgList list;
    list.SetText(text);
    return list.Lines();
}

std::string ReadWholeFile(const std::string& fileName) {
    fw::TFileStream f(fileName, fw::fmOpenRead);
    std::string text(static_cast<size_t>(f.Size()), '\0');
    f.ReadBuffer(text.data(), static_cast<int64_t>(text.size()));
    return text;
}

bool ReadsAs(const std::string& fileName, const std::string& text) {
    try {
        return ReadWholeFile(fileName) == text;
    } catch (const fw::Exception&) {
        return false;
    }
}

// Every step checked, the data flushed to the disk: true only when all of it is there.
bool WriteWholeFile(const std::string& fileName, const std::string& text) {
    HANDLE h = CreateFileA(fileName.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_ARCHIVE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    size_t done = 0;
    while (ok && done < text.size()) {
        DWORD n = 0;
        ok = WriteFile(h, text.data() + done, static_cast<DWORD>(text.size() - done), &n, nullptr) && n > 0;
        done += n;
    }
    ok = ok && FlushFileBuffers(h);
    return CloseHandle(h) && ok;
}

// A value of key 99 such as ".\\" or "..\\" names the temporary folder itself or one above it.
bool LiesInside(const std::string& folder, const std::string& parent) {
    auto full = [](const std::string& path) {
        char buf[MAX_PATH * 2];
        DWORD n = GetFullPathNameA(path.c_str(), sizeof buf, buf, nullptr);
        std::string s = n > 0 && n < sizeof buf ? std::string(buf, n) : std::string();
        if (!s.empty() && s.back() != '\\') s += '\\';
        return s;
    };
    const std::string f = full(folder), p = full(parent);
    return !p.empty() && f.size() > p.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, f.data(), static_cast<int>(p.size()), p.data(),
                          static_cast<int>(p.size())) == CSTR_EQUAL;
}

}  // namespace

void CheckBasePath() {
    if (!DirectoryExists(GetBasePath())) throw fw::Exception("GetBasePath() directory is not valid!");
}

void CheckSystemCfg() {
    if (!IsCheckValueValid(GetSystemCfgValue(cfgCheck)))
        throw fw::Exception("Check Value inside SYSTEM.CFG is incorrect");
}

void CheckLibrary(const std::string& path) {
    HMODULE h = LoadLibraryA(path.c_str());
    if (!h) throw fw::Exception("DLL not found!");
    FreeLibrary(h);
}

bool RepairMsDosSys(const std::string& fileName, const std::string& backupName) {
    if (FileExists(backupName) || !FileExists(fileName)) return false;
    const bool backedUp = CopyFileA(fileName.c_str(), backupName.c_str(), FALSE) != 0;

    const std::string text = ReadWholeFile(fileName);  // "Cannot open file ..." fails the step
    std::vector<std::string> lines = SplitLines(text);
    size_t heading = 0;
    while (heading < lines.size() && !fw::SameTextAscii(lines[heading], "[OptionS]")) ++heading;
    if (heading == lines.size()) return false;
    for (size_t i = heading + 1; i < lines.size(); ++i) {
        std::string t = fw::Trim(lines[i]);
        if (t.empty() || t[0] != ';') continue;
        // The boot file is only rewritten when a backup holds exactly what was read; a partial
        // backup would mark the repair as done, so it goes.
        if (!backedUp || !ReadsAs(backupName, text)) {
            DeleteFileA(backupName.c_str());
            return false;
        }
        // The old 9x boot loader needs the file to be longer than 1024 bytes before the remarks.
        lines.insert(lines.begin() + static_cast<ptrdiff_t>(i), 30, std::string(" "));
        std::string out;
        for (const auto& l : lines) out += l + "\r\n";
        const DWORD oldAttributes = GetFileAttributesA(fileName.c_str());
        SetFileAttributesA(fileName.c_str(), FILE_ATTRIBUTE_ARCHIVE);
        if (!WriteWholeFile(fileName, out)) {
            // Put the old content back (the backup holds the same) unless the file still has it.
            const bool intact = ReadsAs(fileName, text) || (WriteWholeFile(fileName, text) && ReadsAs(fileName, text));
            SetFileAttributesA(fileName.c_str(), oldAttributes);
            if (!intact)
                throw fw::Exception(fw::Format("%s could not be rewritten nor restored; its old content is in %s",
                                               {fileName, backupName}));
            return false;
        }
        SetFileAttributesA(fileName.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                                                 FILE_ATTRIBUTE_ARCHIVE);
        return true;
    }
    return false;
}

void CheckMsDosSys() {
    TVantraOSVersion os;
    if (!os.IsWin9x()) return;
    RepairMsDosSys(kMsDosSys, kMsDosSysFixed);
}

void CheckPackage(const std::string& path) {
    HMODULE h = fw::LoadPackage(path);
    fw::UnloadPackage(h);
}

void CheckScriptControl() {
    TScriptControl sc;
    sc.Language();
}

void CheckVBScript() {
    TScriptControl sc;
    sc.SetLanguage("VBScript");
    sc.Reset();
    sc.SetLanguage("VBScript");
}

void CheckSettingsObject() {
    SettingsObject = CoGlobalOptions::Create();
    fw::CallBstrSlot(SettingsObject.Get(), kGlobalOptions_ProductState);
}

void CheckEngineObject() {
    auto engine = CoPluginInstall::Create();
    fw::CallBstrSlot(engine.Get(), kPluginInstall_EngineState);
}

bool ForceDirectories(const std::string& folder) {
    std::string dir = folder;
    while (dir.size() > 1 && dir.back() == '\\') dir.pop_back();
    if (dir.empty()) return false;
    if (DirectoryExists(dir)) return true;
    size_t slash = dir.find_last_of('\\');
    if (slash != std::string::npos && slash > 0 && dir[slash - 1] != ':' && dir[slash - 1] != '\\') {
        if (!ForceDirectories(dir.substr(0, slash))) return false;
    }
    if (CreateDirectoryA(dir.c_str(), nullptr)) return true;
    // Also the answer when a plain file of that name is in the way.
    return GetLastError() == ERROR_ALREADY_EXISTS && DirectoryExists(dir);
}

void PrepareTempLangFolder(bool strict) {
    const std::string tempPath = GetTempDir();
    const std::string name = GetSystemCfgValue(cfgLangTempFolderName);
    // Without a folder name of its own the folder would be the user's whole temporary
    // folder (or the current one): never empty that.
    if (name.empty()) {
        if (strict)
            throw fw::Exception(fw::Format("No temporary language folder is configured: key \"%s\" is empty in %s",
                                           {SystemCfgKeyName(cfgLangTempFolderName), GetBasePath() + kSystemCfgFile}));
        return;
    }
    const std::string folder = tempPath + name;
    if (!LiesInside(folder, tempPath)) {
        if (strict)
            throw fw::Exception(fw::Format(
                "The temporary language folder %s does not lie inside the temporary folder %s: key \"%s\" in %s",
                {folder, tempPath, SystemCfgKeyName(cfgLangTempFolderName), GetBasePath() + kSystemCfgFile}));
        return;
    }
    if (DirectoryExists(folder)) {
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA((folder + "*.*").c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            do {
                // Sub-folders, "." and "..", open and read-only files stay.
                DeleteFileA((folder + fd.cFileName).c_str());
            } while (FindNextFileA(h, &fd));
            FindClose(h);
        }
    } else if (!ForceDirectories(folder) && strict) {
        throw fw::Exception(fw::Format("Unable to create directory %s", {folder}));
    }
}

namespace {

std::string Describe(const char* code, int textId, const char* english) {
    return std::string(code) + fw::LoadResString(s_Check_Check, "Checking") + " " + fw::LoadResString(textId, english);
}

std::string DescribeFile(const char* code, const std::string& path) {
    return std::string(code) + fw::LoadResString(s_Check_Check, "Checking") + " " + path + " " +
           fw::LoadResString(s_Check_FileAvail, "file availability");
}

void Step(std::string description) {
    StepDescription = std::move(description);
}

}  // namespace

void RunCheckChain() {
    Step(Describe("A1 - ", s_Check_PathCorrect, "Directory Layout (\\bin) correctness"));
    CheckBasePath();
    Step(Describe("A2 - ", s_Check_SystemCfg, "System.cfg availability"));
    CheckSystemCfg();
    std::string tested = GetSystemCfgValue(cfgDllRichEdit);
    Step(DescribeFile("B1 - ", tested));
    CheckLibrary(tested);
    Step(Describe("B2 - ", s_Check_HTMLHelp, "HTML Help Engine availability"));
    Step(Describe("C1 - ", s_Check_MSDOSSYS, "Win 9x/ME MSDOS.SYS syntax"));
    CheckMsDosSys();
    for (int n = 1; n <= 5; ++n) {
        tested = GetBasePath() + GetSystemCfgValue(static_cast<uint8_t>(cfgItemsDir + n));
        std::string code = "D" + std::to_string(n) + " - ";
        Step(DescribeFile(code.c_str(), tested));
        CheckPackage(tested);
    }
    Step(Describe("E1 - ", s_Check_MSScriptControl, "MS Script Control availability"));
    CheckScriptControl();
    Step(Describe("E2 - ", s_Check_VBScript, "VBScript Script Language availability"));
    CheckVBScript();
    Step(Describe("F1 - ", s_Check_VTPSettingsObject, "Vantra Pro Settings Library availability"));
    CheckSettingsObject();
    Step(Describe("F2 - ", s_Check_VTPEngineObject, "Vantra Pro Engine availability"));
    CheckEngineObject();
    Step(Describe("G1 - ", s_Check_TempLangFolder, "Temporary folder for language files"));
    PrepareTempLangFolder(true);
}

}  // namespace launcher
