// Language switching of the test program itself: its string table read through the runtime's
// module list, translated modules loaded by the system loader as data files.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "OnFlyTestUtil.h"
#include "framework/win32/SysInit.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/onfly/LocOnFly.h"

using namespace onfly;
using namespace onflytest;
namespace fs = std::filesystem;

namespace {

struct SwitchWin : ::testing::Test {
    fs::path dir;
    std::string appFile, langDir, dllDir;
    std::unique_ptr<TKLocalizerOnFly> loc;

    void SetUp() override {
        dir = fs::temp_directory_path() / ScratchName("onfly_win_");
        fs::remove_all(dir);
        fs::create_directories(dir / "lang");
        fs::create_directories(dir / "dll");
        appFile = (dir / "App.exe").string();
        langDir = (dir / "lang").string();
        dllDir = (dir / "dll").string();
        LocUtilsInstance().SetSystem(nullptr);
        LocUtilsInstance().AppFileName = appFile;
        ASSERT_EQ(LocUtilsInstance().MainModule, reinterpret_cast<TModuleHandle>(fw::MainInstance()));
        Lang("ntv", Native());
        loc = std::make_unique<TKLocalizerOnFly>();
        loc->ShowErrors = false;
        loc->SetDLLFolder(dllDir);
    }
    void TearDown() override {
        loc.reset();
        LocUtilsInstance().RestoreMainResources();
        LocUtilsInstance().AppFileName = fw::ModuleFileName(nullptr);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    void Lang(const std::string& code, const LangContent& layout) {
        WriteFile((dir / "lang" / ("App." + code + ".lng")).string(), LangFile(layout));
    }
    std::string Code(uint16_t id) { return kutils::LocaleAbbrev(id); }
    std::string ModuleOf(uint16_t id) { return (dir / "dll" / ("App." + Code(id))).string(); }
    HMODULE ResourceModule() { return fw::FindResourceHInstance(fw::MainInstance()); }
};

}  // namespace

TEST_F(SwitchWin, ProgramStringsComeFromTheTranslatedModuleAndBackAfterSwitchingBack) {
    EXPECT_EQ(fw::LoadResString(kHelloId, "none"), "Hello");
    Lang(Code(kGerman), German(2));
    loc->Init(langDir);
    EXPECT_EQ(loc->CurrentLangId, kEnglish);  // the program's own library record

    loc->SwitchToLangCode(Code(kGerman));
    EXPECT_NE(ResourceModule(), fw::MainInstance());
    EXPECT_EQ(fw::LoadResString(kHelloId, "none"), "Hallo");
    EXPECT_EQ(fw::LoadResString(kOnlyId, "none"), "Only in the program");
    EXPECT_EQ(loc->CurrentLangId, kGerman);
    auto rec = ModuleRecord(ModuleOf(kGerman));
    EXPECT_EQ(rec.LangId, kGerman);
    EXPECT_EQ(rec.Revision, 18u);
    EXPECT_EQ(rec.Build, 2u);

    loc->SwitchToLangCode("Ntv");
    EXPECT_EQ(ResourceModule(), fw::MainInstance());
    EXPECT_EQ(fw::LoadResString(kHelloId, "none"), "Hello");
    EXPECT_EQ(loc->CurrentLangId, kEnglish);

    // Up to date: loaded again, not rebuilt.
    auto stamp = fs::last_write_time(ModuleOf(kGerman)) - std::chrono::hours(24);
    fs::last_write_time(ModuleOf(kGerman), stamp);
    loc->SwitchToLangCode(Code(kGerman));
    EXPECT_EQ(fs::last_write_time(ModuleOf(kGerman)), stamp);
    EXPECT_EQ(fw::LoadResString(kHelloId, "none"), "Hallo");
}

TEST_F(SwitchWin, ModuleOfAnotherRevisionIsRebuiltAndALockedOneFailsToDelete) {
    Lang(Code(kGerman), German(2));
    // An older program's module with the same language and build.
    WriteFile(ModuleOf(kGerman), StaleModule(17, kGerman, 2, kHelloId, u"Alt"));
    // Its revision is refused by the loader check.
    EXPECT_THROW(LocUtilsInstance().SwitchMainResources(ModuleOf(kGerman)), ELUOutOfVersion);
    EXPECT_EQ(ResourceModule(), fw::MainInstance());
    // A module without a library record is named in the error.
    std::string noRecord = (dir / "dll" / "App.FRA").string();
    WriteFile(noRecord, App({18, true, false, {}}));
    try {
        LocUtilsInstance().SwitchMainResources(noRecord);
        ADD_FAILURE() << "no error";
    } catch (const ELUInvalidResLibrary& e) {
        EXPECT_EQ(e.Message(), "Invalid resource file format \"" + noRecord + "\"");
    }
    EXPECT_EQ(ResourceModule(), fw::MainInstance());

    loc->Init(langDir);
    loc->SwitchToLangCode(Code(kGerman));
    EXPECT_EQ(fw::LoadResString(kHelloId, "none"), "Hallo");
    EXPECT_EQ(ModuleRecord(ModuleOf(kGerman)).Revision, 18u);

    // A new build while another process holds the module open.
    loc->SwitchToLangCode("ntv");
    Lang(Code(kGerman), German(3));
    HANDLE held = CreateFileA(ModuleOf(kGerman).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::string message;
    try {
        loc->SwitchToLangCode(Code(kGerman));
    } catch (const fw::Exception& e) {
        message = e.Message();
    }
    CloseHandle(held);
    EXPECT_EQ(message, "Can not delete file \"" + ModuleOf(kGerman) + "\"");
    EXPECT_EQ(fw::LoadResString(kHelloId, "none"), "Hello");
    // Once released, the switch succeeds and rebuilds.
    loc->SwitchToLangCode(Code(kGerman));
    EXPECT_EQ(ModuleRecord(ModuleOf(kGerman)).Build, 3u);
    EXPECT_EQ(fw::LoadResString(kHelloId, "none"), "Hallo");
}
