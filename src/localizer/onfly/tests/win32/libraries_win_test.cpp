// Switching real libraries with the test program: a run-time package in the module list and a
// library with a runtime of its own, found through the loader's module enumeration and switched
// through its exports; a library with the switch export but no settings is left alone.
#include <gtest/gtest.h>

#include <windows.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "OnFlyTestUtil.h"
#include "framework/win32/Packages.h"
#include "framework/win32/SysInit.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/onfly/LocLibraries.h"
#include "localizer/onfly/LocOnFly.h"

using namespace onfly;
using namespace onflytest;
namespace fs = std::filesystem;

#ifdef VTP_LIBS_FIXTURE_DIR

namespace {

using TLibString = int(WINAPI*)(int id, wchar_t* buffer, int size);
using TLibCalls = LONG(WINAPI*)(int which);

LangContent LibGerman(const std::u16string& hello, uint32_t build = 1) {
    LangContent s = German(build);
    s.Hello = hello;
    return s;
}

struct LibrariesWin : ::testing::Test {
    fs::path dir;
    std::string appFile, libDir, langDir, dllDir;
    HMODULE shared = nullptr, own = nullptr, plain = nullptr;
    std::unique_ptr<TKLocalizerOnFly> loc;

    void SetUp() override {
        dir = fs::temp_directory_path() / ScratchName("onfly_libs_win_");
        fs::remove_all(dir);
        for (const char* sub : {"lib", "lang", "dll"}) fs::create_directories(dir / sub);
        appFile = (dir / "App.exe").string();
        libDir = (dir / "lib").string();
        langDir = (dir / "lang").string();
        dllDir = (dir / "dll").string();
        for (const char* name : {"VtpSharedLib.dll", "VtpOwnLib.dll", "VtpPlainLib.dll"})
            fs::copy_file(fs::path(VTP_LIBS_FIXTURE_DIR) / name, dir / "lib" / name);

        // The program: native and German language files.
        LocUtilsInstance().SetSystem(nullptr);
        LocUtilsInstance().AppFileName = appFile;
        WriteFile(LangPath("App.ntv.lng"), LangFile(Native()));
        WriteFile(LangPath("App." + Ger() + ".lng"), LangFile(German()));
        // The package: German next to it, native in the language folder; the other library
        // the other way round.
        WriteFile(LibPath("VtpSharedLib." + Ger() + ".lng"), LangFile(LibGerman(u"Hallo aus dem Paket")));
        WriteFile(LangPath("VtpSharedLib.ntv.lng"), LangFile(Native()));
        WriteFile(LangPath("VtpOwnLib." + Ger() + ".lng"), LangFile(LibGerman(u"Hallo aus der Bibliothek")));
        WriteFile(LibPath("VtpOwnLib.ntv.lng"), LangFile(Native()));

        shared = fw::LoadPackage(LibPath("VtpSharedLib.dll"));
        own = LoadLibraryA(LibPath("VtpOwnLib.dll").c_str());
        plain = LoadLibraryA(LibPath("VtpPlainLib.dll").c_str());
        ASSERT_NE(own, nullptr);
        ASSERT_NE(plain, nullptr);

        loc = std::make_unique<TKLocalizerOnFly>();
        loc->ShowErrors = false;
        loc->SetDLLFolder(dllDir);
        loc->Init(langDir);
        loc->TranslateLibraries = true;
    }
    void TearDown() override {
        loc.reset();
        LocUtilsInstance().RestoreMainResources();
        LocUtilsInstance().AppFileName = fw::ModuleFileName(nullptr);
        if (shared) {
            LocUtilsInstance().RestoreModuleResources(reinterpret_cast<TModuleHandle>(shared));
            fw::UnloadPackage(shared);
        }
        if (own) FreeLibrary(own);
        if (plain) FreeLibrary(plain);
        std::error_code ec;
        fs::remove_all(dir, ec);
    }
    std::string Ger() { return kutils::LocaleAbbrev(kGerman); }
    std::string LibPath(const std::string& name) { return (dir / "lib" / name).string(); }
    std::string LangPath(const std::string& name) { return (dir / "lang" / name).string(); }
    std::string DllPath(const std::string& name) { return (dir / "dll" / name).string(); }

    std::u16string SharedString(int id = kHelloId) {
        std::u16string t;
        return LocUtilsInstance().System().ReadString(reinterpret_cast<TModuleHandle>(shared), id, t) ? t : u"<none>";
    }
    std::u16string LibString(HMODULE lib, int id = kHelloId) {
        auto fn = reinterpret_cast<TLibString>(reinterpret_cast<void*>(GetProcAddress(lib, "LibString")));
        if (!fn) return u"<no export>";
        wchar_t buf[256];
        int n = fn(id, buf, 256);
        return n > 0 ? std::u16string(buf, buf + n) : u"<none>";
    }
    LONG Calls(HMODULE lib, int which) {
        auto fn = reinterpret_cast<TLibCalls>(reinterpret_cast<void*>(GetProcAddress(lib, "LibCalls")));
        return fn ? fn(which) : -1;
    }
    std::string Error(const std::function<void()>& f) {
        try {
            f();
        } catch (const fw::Exception& e) {
            return e.Message();
        }
        return "(no error)";
    }
};

}  // namespace

TEST_F(LibrariesWin, BothLibrariesFollowTheProgramAndModulesAreReusedUntilStale) {
    ASSERT_NE(shared, nullptr);
    EXPECT_TRUE(loc->IsLocalizedModule(reinterpret_cast<TModuleHandle>(own)));
    EXPECT_FALSE(loc->IsLocalizedModule(reinterpret_cast<TModuleHandle>(plain)));

    loc->SwitchToLangCode(Ger());
    EXPECT_EQ(SharedString(), u"Hallo aus dem Paket");
    EXPECT_EQ(SharedString(kHelloId + 1), u"Only in the shared library");
    EXPECT_EQ(LibString(own), u"Hallo aus der Bibliothek");
    EXPECT_EQ(LibString(own, kHelloId + 1), u"Only in the own library");
    EXPECT_EQ(Calls(own, 0), 1);
    std::string sharedMod = DllPath("VtpSharedLib." + Ger()), ownMod = DllPath("VtpOwnLib." + Ger());
    ASSERT_TRUE(fs::exists(sharedMod));
    ASSERT_TRUE(fs::exists(ownMod));
    EXPECT_EQ(ModuleRecord(ownMod).LangId, kGerman);
    // The library without settings saw nothing.
    EXPECT_EQ(Calls(plain, 0) + Calls(plain, 1), 0);
    EXPECT_EQ(LibString(plain), u"Hello");
    EXPECT_FALSE(fs::exists(DllPath("VtpPlainLib." + Ger())));

    loc->SwitchToLangCode("ntv");
    EXPECT_EQ(SharedString(), u"Hello");
    EXPECT_EQ(fw::FindResourceHInstance(shared), shared);
    EXPECT_EQ(LibString(own), u"Hello");
    EXPECT_GE(Calls(own, 1), 1);

    // Back to German: both modules are taken as they are.
    auto stamp = fs::last_write_time(sharedMod) - std::chrono::hours(24);
    fs::last_write_time(sharedMod, stamp);
    fs::last_write_time(ownMod, stamp);
    loc->SwitchToLangCode(Ger());
    EXPECT_EQ(fs::last_write_time(sharedMod), stamp);
    EXPECT_EQ(fs::last_write_time(ownMod), stamp);
    EXPECT_EQ(SharedString(), u"Hallo aus dem Paket");
    EXPECT_EQ(LibString(own), u"Hallo aus der Bibliothek");

    // A new build of the library's language file: its module is rebuilt, the other stays.
    loc->SwitchToLangCode("ntv");
    WriteFile(LangPath("VtpOwnLib." + Ger() + ".lng"), LangFile(LibGerman(u"Neu aus der Bibliothek", 2)));
    loc->SwitchToLangCode(Ger());
    EXPECT_EQ(LibString(own), u"Neu aus der Bibliothek");
    EXPECT_EQ(ModuleRecord(ownMod).Build, 2u);
    EXPECT_EQ(fs::last_write_time(sharedMod), stamp);

    // While the package shows its module, which the loader holds open: rebuilt all the same.
    WriteFile(LibPath("VtpSharedLib." + Ger() + ".lng"), LangFile(LibGerman(u"Neu aus dem Paket", 3)));
    loc->SwitchToLangCode(Ger());
    EXPECT_EQ(SharedString(), u"Neu aus dem Paket");
    EXPECT_EQ(ModuleRecord(sharedMod).Build, 3u);
    // Likewise the other library while it shows its module.
    WriteFile(LangPath("VtpOwnLib." + Ger() + ".lng"), LangFile(LibGerman(u"Wieder neu", 4)));
    loc->SwitchToLangCode(Ger());
    EXPECT_EQ(LibString(own), u"Wieder neu");
    EXPECT_EQ(Calls(plain, 0) + Calls(plain, 1), 0);
}

TEST_F(LibrariesWin, WithoutTranslateLibrariesOnlyTheProgramSwitches) {
    ASSERT_NE(shared, nullptr);
    loc->TranslateLibraries = false;
    loc->SwitchToLangCode(Ger());
    EXPECT_EQ(SharedString(), u"Hello");
    EXPECT_EQ(LibString(own), u"Hello");
    EXPECT_EQ(Calls(own, 0) + Calls(own, 1), 0);
    EXPECT_FALSE(fs::exists(DllPath("VtpSharedLib." + Ger())));
    EXPECT_FALSE(fs::exists(DllPath("VtpOwnLib." + Ger())));
}

TEST_F(LibrariesWin, PackageErrorsAreSwallowedOwnLibraryErrorsReachTheSwitch) {
    ASSERT_NE(shared, nullptr);
    // The package's native language file is damaged: it keeps its resources, the rest switches.
    WriteFile(LangPath("VtpSharedLib.ntv.lng"), {'n', 'o', 'p', 'e'});
    loc->SwitchToLangCode(Ger());
    EXPECT_EQ(SharedString(), u"Hello");
    EXPECT_EQ(LibString(own), u"Hallo aus der Bibliothek");

    // The other library's: the error ends the switch of the libraries and reaches the caller.
    loc->SwitchToLangCode("ntv");
    WriteFile(LangPath("VtpSharedLib.ntv.lng"), LangFile(Native()));
    WriteFile(LibPath("VtpOwnLib.ntv.lng"), {'n', 'o', 'p', 'e'});
    std::string e = Error([&] { loc->SwitchToLangCode(Ger()); });
    EXPECT_NE(e.find("Invalid file format"), std::string::npos) << e;
    EXPECT_EQ(SharedString(), u"Hallo aus dem Paket");
}

#endif
