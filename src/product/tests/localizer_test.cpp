// The launcher's localizer glue: its steps, debug lines and error report, against a recording
// localizer and against the real one.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "localizer/onfly/LocOnFly.h"
#include "product/brmkVTPLocalizer.h"

namespace fs = std::filesystem;
using namespace product;

namespace {

// Records every call; raises fw::Exception from the operation named in failAt.
class TRecordingLocalizer : public TLocalizerAccess {
public:
    std::vector<std::string> calls;
    std::string failAt;
    std::string langFolder = "obj-lang", dllFolder = "obj-dll";

    void Op(const std::string& call) {
        calls.push_back(call);
        if (call.rfind(failAt, 0) == 0 && !failAt.empty()) throw fw::Exception("failed in " + call);
    }
    void SetShowErrors(bool v) override { Op(std::string("ShowErrors=") + (v ? "1" : "0")); }
    void SetDeleteOldDLLs(bool v) override { Op(std::string("DeleteOldDLLs=") + (v ? "1" : "0")); }
    void SetTranslateLibraries(bool v) override { Op(std::string("TranslateLibraries=") + (v ? "1" : "0")); }
    void SetAppFileName(const std::string& f) override { Op("AppFileName=" + f); }
    std::string LangFolder() override { return langFolder; }
    void SetLangFolder(const std::string& f) override { Op("LangFolder=" + f); }
    std::string DLLFolder() override { return dllFolder; }
    void SetDLLFolder(const std::string& f) override { Op("DLLFolder=" + f); }
    void Init(const std::string& f) override { Op("Init=" + f); }
    void SwitchToLangCode(const std::string& c) override { Op("Switch=" + c); }
};

struct TRecordingEnv {
    std::string code = "DEU";
    std::string langFolder = "C:\\VP\\lang\\";
    std::string moduleFolder = "C:\\Temp\\VantraProLang\\";
    std::string exe = "C:\\VP\\bin\\brmkVTPStart.exe";
    std::string basePath = "C:\\VP\\";
    bool exeFails = false;
    int settingsLoads = 0;
    std::vector<std::string> log, boxes;

    TLocalizerGlueEnv Env() {
        TLocalizerGlueEnv e;
        e.InitLanguageSettings = [this] { ++settingsLoads; };
        e.LanguageCode = [this] { return code; };
        e.LanguageFolder = [this] { return langFolder; };
        e.ModuleFolder = [this] { return moduleFolder; };
        e.ExeFileName = [this] {
            if (exeFails) throw fw::Exception("no name");
            return exe;
        };
        e.BasePath = [this] { return basePath; };
        e.DebugLog = [this](const std::string& s) { log.push_back(s); };
        e.ShowErrorBox = [this](const std::string& s) { boxes.push_back(s); };
        return e;
    }
};

}  // namespace

TEST(LocalizerGlue, NoLanguageCodeClearsTheFoldersQuietly) {
    TRecordingLocalizer loc;
    TRecordingEnv env;
    env.code = "";
    auto r = RunLocalizerGlue("", loc, env.Env());
    EXPECT_FALSE(r.Configured);
    EXPECT_FALSE(r.Failed);
    EXPECT_EQ(env.settingsLoads, 1);
    EXPECT_EQ(loc.calls, (std::vector<std::string>{"LangFolder=", "DLLFolder=", "TranslateLibraries=0"}));
    EXPECT_TRUE(env.log.empty());
    EXPECT_TRUE(env.boxes.empty());
}

TEST(LocalizerGlue, SuccessfulRunConfiguresInOrderAndLogsTwoLines) {
    TRecordingLocalizer loc;
    TRecordingEnv env;
    auto r = RunLocalizerGlue("", loc, env.Env());
    EXPECT_TRUE(r.Configured);
    EXPECT_FALSE(r.Failed);
    EXPECT_EQ(r.Step, "LNG_Done");
    EXPECT_EQ(loc.calls,
              (std::vector<std::string>{"ShowErrors=0", "DeleteOldDLLs=0", "AppFileName=C:\\VP\\bin\\brmkVTPStart.exe",
                                        "DLLFolder=C:\\Temp\\VantraProLang\\", "Init=C:\\VP\\lang\\", "Switch=DEU"}));
    EXPECT_EQ(env.log, (std::vector<std::string>{"VTP Loc starting for C:\\VP\\bin\\brmkVTPStart.exe",
                                                 "VTP Loc ended for C:\\VP\\bin\\brmkVTPStart.exe"}));
    EXPECT_TRUE(env.boxes.empty());
}

TEST(LocalizerGlue, OverrideExeIsTakenBelowTheBasePath) {
    TRecordingLocalizer loc;
    TRecordingEnv env;
    RunLocalizerGlue("bin\\VantraPro.exe", loc, env.Env());
    EXPECT_EQ(loc.calls.at(2), "AppFileName=C:\\VP\\bin\\VantraPro.exe");
    EXPECT_EQ(env.log.front(), "VTP Loc starting for C:\\VP\\bin\\VantraPro.exe");
}

TEST(LocalizerGlue, ReportTextOfAFailedSwitch) {
    TRecordingLocalizer loc;
    loc.failAt = "Switch=";
    TRecordingEnv env;
    auto r = RunLocalizerGlue("", loc, env.Env());
    const std::string expected =
        "An error occurred while trying to apply the translation to this application, we are sorry. The application "
        "will not be translated.\r\n\r\n"
        "The following information can be used by support to track down the problem:\r\n"
        "Error: failed in Switch=DEU\r\n"
        "Step: LNG_SwitchExt\r\n"
        "Lang Code: DEU\r\n"
        "Lang Folder: C:\\VP\\lang\\\r\n"
        "Lang Folder from object: obj-lang\r\n"
        "DLL Folder: C:\\Temp\\VantraProLang\\\r\n"
        "DLL Folder from object: obj-dll\r\n"
        "EXE used: C:\\VP\\bin\\brmkVTPStart.exe\r\n"
        "Real EXE: C:\\VP\\bin\\brmkVTPStart.exe\r\n";
    EXPECT_TRUE(r.Failed);
    EXPECT_EQ(r.Report, expected);
    EXPECT_EQ(env.boxes, std::vector<std::string>{expected});
    EXPECT_EQ(env.log, (std::vector<std::string>{"VTP Loc starting for C:\\VP\\bin\\brmkVTPStart.exe",
                                                 "VTP Loc - Error: " + expected,
                                                 "VTP Loc ended for C:\\VP\\bin\\brmkVTPStart.exe"}));
}

// A failure at any step names that step, stops the steps after it and is reported once.
TEST(LocalizerGlue, EachFailingStepIsNamedAndEndsTheRest) {
    struct Case {
        const char* failAt;
        const char* step;
        size_t callsMade;
    };
    for (Case c : {Case{"ShowErrors", "LNG_Before", 1}, Case{"DeleteOldDLLs", "LNG_DelDLLSet", 2},
                   Case{"AppFileName", "LNG_SetAppName", 3}, Case{"DLLFolder", "LNG_TempDirSet", 4},
                   Case{"Init", "LNG_Init", 5}, Case{"Switch", "LNG_SwitchExt", 6}}) {
        SCOPED_TRACE(c.failAt);
        TRecordingLocalizer loc;
        loc.failAt = c.failAt;
        TRecordingEnv env;
        auto r = RunLocalizerGlue("", loc, env.Env());
        EXPECT_TRUE(r.Failed);
        EXPECT_EQ(r.Step, c.step);
        EXPECT_EQ(loc.calls.size(), c.callsMade);
        ASSERT_EQ(env.boxes.size(), 1u);
        EXPECT_NE(env.boxes[0].find("\r\nStep: " + std::string(c.step) + "\r\n"), std::string::npos);
        EXPECT_NE(env.boxes[0].find("\r\nError: failed in " + std::string(c.failAt)), std::string::npos);
        // Before LNG_CheckOverrideExe the application file is not known yet.
        const std::string exeUsed = std::string(c.step) == "LNG_Before" ? "" : env.exe;
        EXPECT_NE(env.boxes[0].find("\r\nEXE used: " + exeUsed + "\r\nReal EXE: "), std::string::npos);
        EXPECT_EQ(env.log.back(), "VTP Loc ended for " + exeUsed);
    }
}

TEST(LocalizerGlue, FailureWhileNamingTheApplicationReportsThatStep) {
    TRecordingLocalizer loc;
    TRecordingEnv env;
    env.exeFails = true;
    // The report asks for the real name again; let it answer this time.
    int asked = 0;
    auto e = env.Env();
    e.ExeFileName = [&]() -> std::string {
        if (asked++ == 0) throw fw::Exception("no name");
        return env.exe;
    };
    auto r = RunLocalizerGlue("", loc, e);
    EXPECT_EQ(r.Step, "LNG_CheckOverrideExe");
    EXPECT_EQ(loc.calls, std::vector<std::string>{"ShowErrors=0"});
    EXPECT_NE(r.Report.find("\r\nEXE used: \r\nReal EXE: " + env.exe + "\r\n"), std::string::npos);
    EXPECT_EQ(env.log.size(), 2u);  // the error and the end; the start line was never reached
}

TEST(LocalizerGlue, OtherExceptionsAreNotCaught) {
    struct TThrowing : TRecordingLocalizer {
        void Init(const std::string&) override { throw std::runtime_error("not ours"); }
    } loc;
    TRecordingEnv env;
    EXPECT_THROW(RunLocalizerGlue("", loc, env.Env()), std::runtime_error);
    EXPECT_TRUE(env.boxes.empty());
}

// ---- with the real localizer (language files on disk; no embedded container on this build)

namespace {

struct TInstall {
    fs::path root = fs::temp_directory_path() / ("vtp_glue_" + std::to_string(getpid()));
    TInstall() {
        fs::remove_all(root);
        fs::create_directories(root / "bin");
        fs::create_directories(root / "lang");
        fs::create_directories(root / "temp");
        std::ofstream(root / "bin" / "brmkVTPStart.exe") << "MZ";
    }
    ~TInstall() { fs::remove_all(root); }
    void CopyNative() {
        fs::copy_file(std::string(VTP_SOURCE_DIR) + "/src/launcher/lang/brmkVTPStart.ntv.lng",
                      root / "lang" / "brmkVTPStart.ntv.lng");
    }
    TRecordingEnv Env(const std::string& code) {
        TRecordingEnv env;
        env.code = code;
        env.langFolder = (root / "lang").string();
        env.moduleFolder = (root / "temp").string();
        env.exe = (root / "bin" / "brmkVTPStart.exe").string();
        env.basePath = root.string() + "/";
        return env;
    }
};

}  // namespace

TEST(LocalizerGlueReal, MissingLanguageFileFailsTheSwitch) {
    TInstall inst;
    inst.CopyNative();
    onfly::TKLocalizerOnFly loc;
    auto env = inst.Env("DEU");
    auto r = RunLocalizerGlue("", *OnFlyAccess(loc), env.Env());
    EXPECT_EQ(r.Step, "LNG_SwitchExt");
    ASSERT_EQ(env.boxes.size(), 1u);
    EXPECT_NE(r.Report.find("\r\nError: Language \"German (Germany)\" is not found\r\n"), std::string::npos)
        << r.Report;
    EXPECT_NE(r.Report.find("\r\nLang Folder from object: " + env.langFolder + "\r\n"), std::string::npos);
    EXPECT_NE(r.Report.find("\r\nDLL Folder from object: " + env.moduleFolder + "\r\n"), std::string::npos);
    EXPECT_FALSE(loc.ShowErrors);
    EXPECT_FALSE(loc.DeleteOldDLLs);
    EXPECT_TRUE(loc.Initialized);
    EXPECT_EQ(loc.AppFileName(), env.exe);
}

TEST(LocalizerGlueReal, MissingModuleFolderFailsBeforeInit) {
    TInstall inst;
    inst.CopyNative();
    onfly::TKLocalizerOnFly loc;
    auto env = inst.Env("DEU");
    env.moduleFolder = (inst.root / "no-such-folder").string();
    auto r = RunLocalizerGlue("", *OnFlyAccess(loc), env.Env());
    EXPECT_EQ(r.Step, "LNG_TempDirSet");
    EXPECT_NE(r.Report.find("\r\nError: Specified path \"" + env.moduleFolder + "\" does not exist\r\n"),
              std::string::npos)
        << r.Report;
    EXPECT_NE(r.Report.find("\r\nDLL Folder from object: \r\n"), std::string::npos);
    EXPECT_FALSE(loc.Initialized);
}

TEST(LocalizerGlueReal, NoNativeLanguageFailsInit) {
    TInstall inst;
    onfly::TKLocalizerOnFly loc;
    auto env = inst.Env("DEU");
    auto r = RunLocalizerGlue("", *OnFlyAccess(loc), env.Env());
    EXPECT_EQ(r.Step, "LNG_Init");
    EXPECT_NE(r.Report.find("\r\nError: Language file \""), std::string::npos) << r.Report;
    EXPECT_NE(r.Report.find("brmkVTPStart.ntv.lng\" is not found\r\n"), std::string::npos) << r.Report;
    EXPECT_FALSE(loc.Initialized);
}

TEST(LocalizerGlueReal, NativeCodeSwitchesWithoutError) {
    TInstall inst;
    inst.CopyNative();
    onfly::TKLocalizerOnFly loc;
    auto env = inst.Env("ntv");
    auto r = RunLocalizerGlue("", *OnFlyAccess(loc), env.Env());
    EXPECT_FALSE(r.Failed) << r.Report;
    EXPECT_EQ(r.Step, "LNG_Done");
    EXPECT_EQ(env.log.size(), 2u);
    EXPECT_EQ(loc.CurrentLangIndex, 0);
}
