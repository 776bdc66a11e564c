// Switching the loaded libraries with the program: a library sharing the program's runtime
// (listed in the module list), one with a runtime of its own reached through its exports, and
// one that exports the switch function without being localized.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <memory>

#include "OnFlyTestUtil.h"
#include "framework/ComponentReader.h"
#include "framework/Components.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/langres/LFProc.h"
#include "localizer/onfly/LocLibraries.h"
#include "localizer/onfly/LocOnFly.h"

using namespace onfly;
using namespace onflytest;
namespace fs = std::filesystem;

namespace {

class TLibLocalizer : public TKLocalizerOnFly {
public:
    void ShowError(const fw::Exception& e) override { ADD_FAILURE() << "shown: " << e.Message(); }
};

// What a library with a runtime of its own does behind its two exports.
struct OwnRuntimeLib {
    TModuleHandle Module = 0;
    TModuleHandle Res = 0;  // 0: its own resources
    int Switches = 0;
    int Backs = 0;
    std::string LastFile;
};

LangContent LibGerman(const std::u16string& hello, uint32_t build = 1) {
    LangContent s = German(build);
    s.Hello = hello;
    return s;
}

// A language file of a library with one form whose caption it translates.
Bytes FormLangFile(const LangContent& layout, const std::u16string& caption) {
    langres::TLangFileImage img;
    img.Header.LangId = layout.LangId;
    img.Header.Revision = layout.Revision;
    img.Header.Build = layout.Build;
    img.Header.EnglishLangName = layout.English;
    img.Header.NativeLangName = layout.Native;
    img.Header.IsNative = layout.IsNative ? 1 : 0;
    langres::TLFForm form;
    form.Name = "LibForm";
    langres::TLFRecord r;
    r.Name = "Caption";
    r.Id = 2;
    r.Value.Present = true;
    r.Value.Text = caption;
    form.Properties.push_back(r);
    img.Forms.push_back(form);
    return langres::WriteLangFile(img, 7, false);
}

struct LibrariesTest : ::testing::Test {
    THostModuleSystem sys;
    THostLibrarySystem libs;
    fs::path dir;
    std::string appFile, langDir, dllDir;
    TModuleHandle main = 0, shared = 0, plain = 0;
    OwnRuntimeLib own;
    int plainCalls = 0;
    std::unique_ptr<TLibLocalizer> loc;

    void SetUp() override {
        dir = fs::temp_directory_path() / ScratchName("onfly_libs_");
        fs::remove_all(dir);
        fs::create_directories(dir / "app" / "lang");
        fs::create_directories(dir / "app" / "dll");
        appFile = (dir / "app" / "App.exe").string();
        langDir = (dir / "app" / "lang").string();
        dllDir = (dir / "app" / "dll").string();
    }
    void TearDown() override {
        loc.reset();
        LocUtilsInstance().SetSystem(nullptr);
        fs::remove_all(dir);
    }
    std::string AppPath(const std::string& name) { return (dir / "app" / name).string(); }
    std::string LangPath(const std::string& name) { return (fs::path(langDir) / name).string(); }
    std::string DllPath(const std::string& name) { return (fs::path(dllDir) / name).string(); }
    std::string Ger() { return kutils::LocaleAbbrev(kGerman); }

    TModuleHandle Load(const std::string& name, const AppLayout& layout) {
        WriteFile(AppPath(name), App(layout));
        TModuleHandle h = sys.LoadDataModule(AppPath(name));
        EXPECT_NE(h, 0u);
        return h;
    }

    // The program (German in a language file), the shared-runtime library "Shared.dll" (German
    // next to it, native in the language folder) and the own-runtime library "Own.dll" (both
    // languages in its embedded container), and "Plain.dll" with a switch export only.
    void Start(const AppLayout& sharedSpec = {}, AppLayout ownSpec = AppLayout()) {
        main = Load("App.exe", {18, true, true, {Native()}});
        sys.ListModule(main);
        sys.SetMainModule(main);
        WriteFile(LangPath("App." + Ger() + ".lng"), LangFile(German()));

        shared = Load("Shared.dll", sharedSpec);
        sys.ListModule(shared);
        WriteFile(AppPath("Shared." + Ger() + ".lng"), LangFile(LibGerman(u"Hallo aus Shared")));
        WriteFile(LangPath("Shared.ntv.lng"), LangFile(Native()));

        if (ownSpec.Embedded.empty()) ownSpec.Embedded = {Native(), LibGerman(u"Hallo aus Own")};
        own.Module = Load("Own.dll", ownSpec);
        libs.AddProcessModule(main);
        libs.AddProcessModule(shared);
        libs.AddProcessModule(own.Module);
        libs.SetSwitchExport(own.Module, [this](const std::string& file, TDLLInfoRecord& rec) {
            ++own.Switches;
            own.LastFile = file;
            TModuleHandle res = sys.LoadDataModule(file);
            if (!res) return;
            TDLLInfoItem item;
            LocUtilsInstance().ReadModuleInfo(res, true, item);
            item.ModuleFile = file;
            if (own.Res) sys.UnloadModule(own.Res);
            own.Res = res;
            FillInfoRecord(item, rec);
        });
        libs.SetReturnExport(own.Module, [this](TModuleHandle m) {
            EXPECT_EQ(m, own.Module);
            ++own.Backs;
            if (own.Res) sys.UnloadModule(own.Res);
            own.Res = 0;
        });

        plain = Load("Plain.dll", {18, true, false, {}});
        libs.AddProcessModule(plain);
        libs.SetSwitchExport(plain, [this](const std::string&, TDLLInfoRecord&) { ++plainCalls; });
        libs.SetReturnExport(plain, [this](TModuleHandle) { ++plainCalls; });

        LocUtilsInstance().SetSystem(&sys);
        LocUtilsInstance().AppFileName = appFile;
        loc = std::make_unique<TLibLocalizer>();
        loc->ShowErrors = false;
        loc->SetLibrarySystem(&libs);
        loc->SetDLLFolder(dllDir);
        loc->Init(langDir);
        loc->TranslateLibraries = true;
    }
    std::u16string Str(TModuleHandle m, int id = kHelloId) {
        std::u16string t;
        return sys.ReadString(m, id, t) ? t : u"<none>";
    }
    std::u16string OwnStr() { return Str(own.Res ? own.Res : own.Module); }
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

TEST(InfoRecord, FieldsAreCopiedWithinTheirSizes) {
    // Every byte set: no name ends inside its field, and none may run into the next one.
    auto rec = std::make_unique<TDLLInfoRecord>();
    std::memset(rec.get(), 'A', sizeof *rec);
    rec->LangId = kGerman;
    rec->Revision = 18;
    rec->Build = 7;
    TDLLInfoItem item;
    CopyInfoRecord(*rec, item);
    EXPECT_EQ(item.ModuleFile, std::string(260, 'A'));
    EXPECT_EQ(item.EnglishLangName, std::string(1024, 'A'));
    EXPECT_EQ(item.NativeLangName.size(), 1024u);
    EXPECT_EQ(item.NativeLangName[1023], u'\x4141');
    EXPECT_EQ(item.LangId, kGerman);
    EXPECT_EQ(item.Revision, 18u);
    EXPECT_EQ(item.Build, 7u);

    // Names end at their first zero.
    TDLLInfoItem in;
    in.ModuleFile = "C:\\a\\Own.GER";
    in.EnglishLangName = "German";
    in.NativeLangName = u"Deutsch";
    in.LangId = kGerman;
    FillInfoRecord(in, *rec);
    CopyInfoRecord(*rec, item);
    EXPECT_EQ(item.ModuleFile, in.ModuleFile);
    EXPECT_EQ(item.EnglishLangName, "German");
    EXPECT_EQ(item.NativeLangName, u"Deutsch");
    // Too long for the field: cut at the field's end.
    in.ModuleFile = std::string(300, 'x');
    FillInfoRecord(in, *rec);
    CopyInfoRecord(*rec, item);
    EXPECT_EQ(item.ModuleFile, std::string(260, 'x'));
    EXPECT_EQ(rec->LangId, kGerman);
}

TEST(InfoRecord, MatchesOnRevisionAndTheLanguageFilesBuild) {
    TDLLInfoItem own, cur;
    own.Revision = cur.Revision = 18;
    own.Build = 3;
    cur.Build = 3;
    EXPECT_TRUE(TKLocalizerOnFly::InfoMatches(own, cur, nullptr));
    langres::TLangFile f;
    f.Build = 4;
    EXPECT_FALSE(TKLocalizerOnFly::InfoMatches(own, cur, &f));
    cur.Build = 4;
    EXPECT_TRUE(TKLocalizerOnFly::InfoMatches(own, cur, &f));
    cur.Revision = 17;
    EXPECT_FALSE(TKLocalizerOnFly::InfoMatches(own, cur, &f));
}

TEST_F(LibrariesTest, EveryLocalizedLibraryFollowsTheProgramAndGoesBackToItsOwnResources) {
    Start();
    EXPECT_TRUE(loc->IsLocalizedModule(shared));
    EXPECT_TRUE(loc->IsLocalizedModule(own.Module));
    EXPECT_FALSE(loc->IsLocalizedModule(plain));

    loc->SwitchToLangCode(Ger());
    EXPECT_EQ(Str(main), u"Hallo");
    // Shared: from its language file next to it, native from the language folder.
    EXPECT_EQ(Str(shared), u"Hallo aus Shared");
    EXPECT_EQ(ModuleString(DllPath("Shared." + Ger()), kHelloId), u"Hallo aus Shared");
    EXPECT_EQ(ModuleRecord(DllPath("Shared." + Ger())).LangId, kGerman);
    EXPECT_EQ(Str(shared, kOnlyId), u"Only in the program");
    // Own runtime: from its container, loaded by the library itself.
    EXPECT_EQ(own.Switches, 1);
    EXPECT_EQ(own.LastFile, DllPath("Own." + Ger()));
    EXPECT_EQ(OwnStr(), u"Hallo aus Own");
    EXPECT_EQ(plainCalls, 0);
    EXPECT_EQ(sys.FindResourceModule(plain), plain);

    loc->SwitchToLangCode("ntv");
    EXPECT_EQ(Str(main), u"Hello");
    EXPECT_EQ(Str(shared), u"Hello");
    EXPECT_EQ(sys.FindResourceModule(shared), shared);
    EXPECT_GE(own.Backs, 1);
    EXPECT_EQ(own.Res, 0u);
    EXPECT_EQ(OwnStr(), u"Hello");
    EXPECT_EQ(plainCalls, 0);
    // Switching to the native language builds nothing.
    EXPECT_FALSE(fs::exists(DllPath("Shared.ntv")));
    EXPECT_FALSE(fs::exists(DllPath("Own.ntv")));
}

TEST_F(LibrariesTest, UpToDateModulesAreReusedAndStaleOnesRebuilt) {
    Start();
    loc->SwitchToLangCode(Ger());
    std::string sharedMod = DllPath("Shared." + Ger()), ownMod = DllPath("Own." + Ger());
    loc->SwitchToLangCode("ntv");
    auto stamp = fs::last_write_time(sharedMod) - std::chrono::hours(24);
    fs::last_write_time(sharedMod, stamp);
    fs::last_write_time(ownMod, stamp);

    loc->SwitchToLangCode(Ger());
    EXPECT_EQ(fs::last_write_time(sharedMod), stamp);
    EXPECT_EQ(fs::last_write_time(ownMod), stamp);
    EXPECT_EQ(Str(shared), u"Hallo aus Shared");
    EXPECT_EQ(OwnStr(), u"Hallo aus Own");
    // Again while current: still nothing rebuilt.
    int switches = own.Switches;
    loc->SwitchToLangCode(Ger());
    EXPECT_EQ(fs::last_write_time(sharedMod), stamp);
    EXPECT_EQ(fs::last_write_time(ownMod), stamp);
    EXPECT_EQ(OwnStr(), u"Hallo aus Own");
    EXPECT_GE(own.Switches, switches);

    // A new build of Shared's language file: only its module is rebuilt.
    WriteFile(AppPath("Shared." + Ger() + ".lng"), LangFile(LibGerman(u"Neu aus Shared", 2)));
    loc->SwitchToLangCode(Ger());
    EXPECT_NE(fs::last_write_time(sharedMod), stamp);
    EXPECT_EQ(ModuleRecord(sharedMod).Build, 2u);
    EXPECT_EQ(Str(shared), u"Neu aus Shared");
    EXPECT_EQ(fs::last_write_time(ownMod), stamp);
    EXPECT_EQ(OwnStr(), u"Hallo aus Own");
}

TEST_F(LibrariesTest, WithoutTranslateLibrariesNoLibraryIsTouched) {
    Start();
    loc->TranslateLibraries = false;
    loc->SwitchToLangCode(Ger());
    EXPECT_EQ(Str(main), u"Hallo");
    EXPECT_EQ(Str(shared), u"Hello");
    EXPECT_EQ(sys.FindResourceModule(shared), shared);
    EXPECT_EQ(own.Switches + own.Backs + plainCalls, 0);
    EXPECT_FALSE(fs::exists(DllPath("Shared." + Ger())));
    EXPECT_FALSE(fs::exists(DllPath("Own." + Ger())));
}

TEST_F(LibrariesTest, ListedLibraryErrorsAreSwallowedPerLibrary) {
    // Shared has no executable record: its switch fails and the others go on.
    Start({18, false, true, {}});
    loc->SwitchToLangCode(Ger());
    EXPECT_EQ(Str(shared), u"Hello");
    EXPECT_EQ(OwnStr(), u"Hallo aus Own");
}

TEST_F(LibrariesTest, OwnRuntimeLibraryErrorsEndTheSwitchOfTheLibraries) {
    Start({}, {18, false, true, {}});
    std::string e = Error([&] { loc->SwitchToLangCode(Ger()); });
    EXPECT_NE(e.find("Invalid resource file format"), std::string::npos) << e;
    EXPECT_NE(e.find("Own.dll"), std::string::npos) << e;
    // The program and the listed library were switched before.
    EXPECT_EQ(Str(main), u"Hallo");
    EXPECT_EQ(Str(shared), u"Hallo aus Shared");
    EXPECT_EQ(own.Switches, 0);
}

TEST_F(LibrariesTest, SwitchExportThatDescribesNothingLeavesTheLibraryOnItsOwnResources) {
    Start();
    // The export answers with garbage: unterminated names, another revision.
    libs.SetSwitchExport(own.Module, [this](const std::string&, TDLLInfoRecord& rec) {
        ++own.Switches;
        std::memset(&rec, 0x7F, sizeof rec);
    });
    loc->SwitchToLangCode(Ger());
    // Built, offered, not accepted: sent back.
    EXPECT_TRUE(fs::exists(DllPath("Own." + Ger())));
    EXPECT_EQ(own.Switches, 1);
    EXPECT_EQ(own.Backs, 0);
    // The next switch finds the module, the library rejects it again: rebuilt and sent back.
    loc->SwitchToLangCode(Ger());
    EXPECT_EQ(own.Switches, 3);
    EXPECT_EQ(own.Backs, 1);
    EXPECT_EQ(Str(shared), u"Hallo aus Shared");
}

TEST_F(LibrariesTest, UnnamedOrOverlongModulesAreReportedAsMissingFiles) {
    Start();
    // A module the platform does not know.
    EXPECT_EQ(Error([&] { loc->SwitchModule(0x7FFF0000, Ger(), true); }), "File does not exist");
#ifndef _WIN32
    std::string longDir = (dir / std::string(240, 'd')).string();
    fs::create_directories(longDir);
    std::string longName = (fs::path(longDir) / "Long.dll").string();
    ASSERT_GT(longName.size(), 260u);
    WriteFile(longName, App({}));
    TModuleHandle h = sys.LoadDataModule(longName);
    ASSERT_NE(h, 0u);
    EXPECT_EQ(Error([&] { loc->SwitchModule(h, Ger(), true); }), "File does not exist");
    EXPECT_FALSE(fs::exists(DllPath("Long." + Ger())));
#endif
}

TEST_F(LibrariesTest, LibraryWithoutSettingsTakesAModuleOfItsNameAsItIs) {
    Start();
    sys.ListModule(plain);
    // A module named for the language in the module folder is used without any check.
    resources::TResProcessor p;
    auto* st = static_cast<resources::TResString*>(p.AddBlock(std::make_unique<resources::TResString>()));
    st->AddString(kHelloId, u"Plain Deutsch");
    fw::TMemoryStream out;
    p.SaveToStream(out);
    WriteFile(DllPath("Plain." + Ger()), out.Bytes());
    loc->SwitchModule(plain, Ger(), true);
    EXPECT_EQ(Str(plain), u"Plain Deutsch");
    // A damaged one leaves the resources as they are.
    WriteFile(DllPath("Plain.FRA"), {1, 2, 3});
    loc->SwitchModule(plain, "FRA", true);
    EXPECT_EQ(Str(plain), u"Plain Deutsch");
    // None: back to its own.
    loc->SwitchModule(plain, "ITA", true);
    EXPECT_EQ(Str(plain), u"Hello");
    EXPECT_EQ(plainCalls, 0);
}

TEST_F(LibrariesTest, PreviousModulesAreDeletedWhenAsked) {
    Start();
    loc->DeleteOldDLLs = true;
    loc->SwitchToLangCode(Ger());
    ASSERT_TRUE(fs::exists(DllPath("Shared." + Ger())));
    WriteFile(LangPath("App.FRA.lng"), LangFile(French()));
    WriteFile(AppPath("Shared.FRA.lng"), LangFile(French()));
    loc->SwitchToLangCode("FRA");
    EXPECT_EQ(Str(shared), u"Bonjour");
    EXPECT_FALSE(fs::exists(DllPath("Shared." + Ger())));
    EXPECT_TRUE(fs::exists(DllPath("Shared.FRA")));
}

TEST_F(LibrariesTest, OpenFormsOfALibraryAreTranslatedFromItsOwnLanguage) {
    Start();
    WriteFile(AppPath("Shared." + Ger() + ".lng"), FormLangFile(LibGerman(u"Hallo aus Shared"), u"Bibliotheksfenster"));
    WriteFile(LangPath("Shared.ntv.lng"), FormLangFile(Native(), u"Library window"));
    const fw::TClassInfo& c = fw::DefineComponentClass("TLibForm", fw::TForm::StaticClass());
    std::unique_ptr<fw::TForm> form(static_cast<fw::TForm*>(c.Create(nullptr)));
    form->SetName("LibForm");
    form->Caption = "Library window";
    loc->SwitchToLangCode(Ger());
    EXPECT_EQ(form->Caption, "Bibliotheksfenster");
    loc->SwitchToLangCode("ntv");
    EXPECT_EQ(form->Caption, "Library window");
}

TEST_F(LibrariesTest, ModuleThatFailsToLoadIsNeverTakenAsUpToDate) {
    Start({}, {18, true, true, {Native(), LibGerman(u"Hallo aus Own", 0)}});
    // The language file's build equals the library's own (0), and the module left in the folder
    // was made for another revision: loading it fails, so it is rebuilt.
    WriteFile(AppPath("Shared." + Ger() + ".lng"), LangFile(LibGerman(u"Hallo aus Shared", 0)));
    std::string sharedMod = DllPath("Shared." + Ger());
    WriteFile(sharedMod, StaleModule(17, kGerman, 0, kHelloId, u"Alt"));
    loc->SwitchToLangCode(Ger());
    EXPECT_EQ(Str(shared), u"Hallo aus Shared");
    EXPECT_EQ(ModuleRecord(sharedMod).Revision, 18u);
    EXPECT_EQ(ModuleString(sharedMod, kHelloId), u"Hallo aus Shared");

    // The same through the export of a library with a runtime of its own that cannot load it.
    loc->SwitchToLangCode("ntv");
    std::string ownMod = DllPath("Own." + Ger());
    WriteFile(ownMod, StaleModule(17, kGerman, 0, kHelloId, u"Alt"));
    libs.SetSwitchExport(own.Module, [this](const std::string&, TDLLInfoRecord&) {
        ++own.Switches;
        throw fw::Exception("can not load");
    });
    EXPECT_NE(Error([&] { loc->SwitchToLangCode(Ger()); }), "(no error)");
    // The stale module was not taken as current: it was replaced by one of this revision.
    EXPECT_EQ(ModuleRecord(ownMod).Revision, 18u);
}

TEST_F(LibrariesTest, FailedReuseKeepsTheCurrentModule) {
    Start();
    WriteFile(LangPath("App.FRA.lng"), LangFile(French()));
    WriteFile(AppPath("Shared.FRA.lng"), LangFile(French()));
    loc->SwitchToLangCode(Ger());
    ASSERT_EQ(Str(shared), u"Hallo aus Shared");
    // French: the module left there cannot be loaded and the library's native file is gone,
    // so nothing can be built: the library keeps the German module it shows.
    WriteFile(DllPath("Shared.FRA"), {1, 2, 3});
    fs::remove(LangPath("Shared.ntv.lng"));
    loc->SwitchToLangCode("FRA");
    EXPECT_EQ(Str(main), u"Bonjour");
    EXPECT_EQ(Str(shared), u"Hallo aus Shared");
}

TEST_F(LibrariesTest, CodesThatCouldLeaveTheFolderAreRefused) {
    Start();
    // Modules beside the libraries; a language file and a file the code would reach outside.
    loc = std::make_unique<TLibLocalizer>();
    loc->ShowErrors = false;
    loc->SetLibrarySystem(&libs);
    loc->Init(langDir);
    fs::create_directories(dir / "app" / "Shared.x");
    std::string victim = (dir / "victim").string();
    WriteFile(victim, {'k', 'e', 'e', 'p'});
    WriteFile((dir / "victim.lng").string(), LangFile(LibGerman(u"Hallo")));
    for (std::string code : {"x/../../victim", "x\\..\\..\\victim"}) {
        EXPECT_EQ(Error([&] { loc->SwitchModule(shared, code, true); }), "Language \"" + code + "\" is not found")
            << code;
        EXPECT_EQ(Error([&] { loc->SwitchModule(own.Module, code, false); }), "Language \"" + code + "\" is not found")
            << code;
    }
    EXPECT_EQ(fs::file_size(victim), 4u);
    EXPECT_EQ(Str(shared), u"Hello");
    EXPECT_EQ(own.Switches + own.Backs, 0);
}
