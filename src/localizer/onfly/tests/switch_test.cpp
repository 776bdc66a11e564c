// Language list, embedded container and language switching of the localizer, on a small
// application held by the in-memory module system.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>

#include "OnFlyTestUtil.h"
#include "framework/ComponentReader.h"
#include "framework/Components.h"
#include "localizer/kutils/KLocales.h"
#include "localizer/kutils/KStrings.h"
#include "localizer/langres/LFProc.h"
#include "localizer/onfly/LocOnFly.h"

using namespace onfly;
using namespace onflytest;
namespace fs = std::filesystem;

namespace {

// Records shown errors instead of opening a message box.
class TTestLocalizer : public TKLocalizerOnFly {
public:
    std::vector<std::string> Shown;
    void ShowError(const fw::Exception& e) override { Shown.push_back(e.Message()); }
};

struct SwitchTest : ::testing::Test {
    THostModuleSystem sys;
    fs::path dir;
    std::string appDir, appFile, langDir, dllDir;
    TModuleHandle main = 0;
    std::unique_ptr<TTestLocalizer> loc;

    void SetUp() override {
        dir = fs::temp_directory_path() / ScratchName("onfly_sw_");
        fs::remove_all(dir);
        fs::create_directories(dir / "app" / "lang");
        fs::create_directories(dir / "app" / "dll");
        appDir = (dir / "app").string();
        appFile = (dir / "app" / "App.exe").string();
        langDir = (dir / "app" / "lang").string();
        dllDir = (dir / "app" / "dll").string();
        for (auto* f : {fw::Screen().IconFont(), fw::Screen().HintFont(), fw::Screen().MenuFont()}) f->SetCharset(1);
    }
    void TearDown() override {
        loc.reset();
        LocUtilsInstance().SetSystem(nullptr);
        fs::remove_all(dir);
        for (auto* f : {fw::Screen().IconFont(), fw::Screen().HintFont(), fw::Screen().MenuFont()}) f->SetCharset(1);
    }
    void Start(const AppLayout& layout = {}) {
        WriteFile(appFile, App(layout));
        main = sys.LoadDataModule(appFile);
        ASSERT_NE(main, 0u);
        sys.ListModule(main);
        sys.SetMainModule(main);
        LocUtilsInstance().SetSystem(&sys);
        LocUtilsInstance().AppFileName = appFile;
        loc = std::make_unique<TTestLocalizer>();
        loc->ShowErrors = false;
        loc->SetDLLFolder(dllDir);
    }
    void Lang(const std::string& code, const LangContent& layout) {
        WriteFile((fs::path(langDir) / ("App." + code + ".lng")).string(), LangFile(layout));
    }
    std::u16string Str(int id) {
        std::u16string t;
        return sys.ReadString(main, id, t) ? t : u"<none>";
    }
    std::string Code(uint16_t id) { return kutils::LocaleAbbrev(id); }
    std::string ModuleOf(uint16_t id) { return (fs::path(dllDir) / ("App." + Code(id))).string(); }
    std::string Error(const std::function<void()>& f) {
        try {
            f();
        } catch (const fw::Exception& e) {
            return e.Message();
        }
        return "(no error)";
    }
};

std::vector<std::string> Names(TLFInfoList* list) {
    std::vector<std::string> out;
    for (int i = 0; i < list->Count(); ++i) out.push_back(list->Items(i)->EnglishLangName);
    return out;
}

}  // namespace

// ---- The language list

TEST_F(SwitchTest, LanguagesAreSortedByEnglishNameInByteOrder) {
    Start();
    LangContent cz = German();
    cz.LangId = kCzech;
    cz.English = "Czech";
    LangContent lower = German();
    lower.LangId = kRussian;
    lower.English = "aRussian";
    Lang("GER", German());
    Lang("RUS", lower);
    Lang("ENG", Native());
    Lang("CSY", cz);
    TLFInfoList* list = loc->Languages();
    list->SetFolder(langDir);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Czech", "English", "German", "aRussian"}));
    EXPECT_EQ(list->NativeIndex(), 1);
    EXPECT_EQ(list->Items(2)->LangFile, "App.GER.lng");
    EXPECT_EQ(list->Items(2)->NativeLangName, u"Deutsch");
    EXPECT_FALSE(list->IsEmbeddedLang(kGerman));
    EXPECT_FALSE(list->IsEmbeddedLang(0x0411));
    EXPECT_EQ(list->IndexOfLang(0x0411), -1);
}

TEST_F(SwitchTest, SameFolderStringScansOnceAndRelativeFoldersStartAtTheApplication) {
    Start();
    Lang("GER", German());
    std::string cwd = fs::current_path().string();
    TLFInfoList* list = loc->Languages();
    list->SetFolder("lang");  // relative to the application's folder, not to the current directory
    EXPECT_EQ(fs::current_path().string(), cwd);
    EXPECT_EQ(fs::path(list->FolderFull), fs::path(langDir));
    EXPECT_EQ(list->Folder, "lang");
    ASSERT_EQ(list->Count(), 1);

    Lang("FRA", French());
    list->SetFolder("lang");  // same string: no rescan
    EXPECT_EQ(list->Count(), 1);
    list->SetFolder(".\\lang");  // another string for the same folder: rescans
    EXPECT_EQ(list->Count(), 2);
    EXPECT_EQ(list->Folder, ".\\lang");

    // An empty folder leaves the list as it was.
    fs::create_directories(dir / "app" / "empty");
    list->SetFolder("empty");
    EXPECT_EQ(list->Count(), 2);
}

TEST_F(SwitchTest, MissingFolderIsReportedAndChangesNothing) {
    Start();
    TLFInfoList* list = loc->Languages();
    list->SetFolder(langDir);
    std::string full = (fs::path(appDir) / "nowhere").lexically_normal().string();
    EXPECT_EQ(Error([&] { list->SetFolder("nowhere"); }), "Specified path \"" + full + "\" does not exist");
    EXPECT_EQ(list->Folder, langDir);
    EXPECT_EQ(fs::path(list->FolderFull), fs::path(langDir));
    // Through the property, ShowErrors shows the error and goes on.
    loc->ShowErrors = true;
    loc->SetLangFolder("nowhere");
    ASSERT_EQ(loc->Shown.size(), 1u);
    EXPECT_EQ(loc->Shown[0], "Specified path \"" + full + "\" does not exist");
    EXPECT_EQ(Error([&] { loc->SetDLLFolder("nowhere"); }), "Specified path \"" + full + "\" does not exist");
    EXPECT_EQ(loc->DLLFolder(), dllDir);
}

TEST_F(SwitchTest, TwoFilesOfOneLanguageMakeOneEntryAndOddMatchesAreHandled) {
    Start();
    Lang("GER", German());
    LangContent copy = German();
    copy.English = "Deutsch-Kopie";
    Lang("German", copy);
    WriteFile((fs::path(langDir) / "App.broken.lng").string(), Bytes{'L', 'F', 0, 0});
    WriteFile((fs::path(langDir) / "Other.FRA.lng").string(), LangFile(French()));
    fs::create_directories(fs::path(langDir) / "App.dir.lng");
    TLFInfoList* list = loc->Languages();
    list->SetFolder(langDir);
    // German once, and the directory as an entry of language 0 without names.
    ASSERT_EQ(list->Count(), 2);
    int g = list->IndexOfLang(kGerman);
    ASSERT_GE(g, 0);
    TLFInfo* de = list->Items(g);
    EXPECT_TRUE(de->LangFile == "App.GER.lng" || de->LangFile == "App.German.lng");
    EXPECT_EQ(de->EnglishLangName, de->LangFile == "App.GER.lng" ? "German" : "Deutsch-Kopie");
    int d = list->IndexOfLang(0);
    ASSERT_GE(d, 0);
    EXPECT_EQ(list->Items(d)->LangFile, "App.dir.lng");
    EXPECT_EQ(list->Items(d)->EnglishLangName, "");
}

// ---- The embedded container

TEST_F(SwitchTest, ContainerLanguagesAreRegisteredAndExtracted) {
    LangContent fr = French();
    fr.Compress = true;
    Start({18, true, true, {Native(), fr}});
    fw::TMemoryStream out;
    EXPECT_TRUE(loc->ExtractEmbeddedLanguage(main, kFrench, elRegister, &out));
    langres::TLangFile f;
    f.ReadHeader(out, false);
    EXPECT_EQ(f.LangId, kFrench);  // decompressed
    EXPECT_EQ(out.Size(), static_cast<int64_t>(LangFile(French()).size()));
    TLFInfoList* list = loc->Languages();
    EXPECT_EQ(Names(list), (std::vector<std::string>{"English", "French"}));
    EXPECT_TRUE(list->Items(0)->IsNative);
    EXPECT_FALSE(list->Items(1)->IsNative);
    EXPECT_TRUE(list->IsEmbeddedLang(kFrench));

    fw::TMemoryStream first;
    EXPECT_TRUE(loc->ExtractEmbeddedLanguage(main, 0, 0, &first));
    EXPECT_EQ(first.Bytes(), LangFile(Native()));
    fw::TMemoryStream none;
    EXPECT_FALSE(loc->ExtractEmbeddedLanguage(main, kGerman, 0, &none));
    EXPECT_FALSE(loc->ExtractEmbeddedLanguage(main, kFrench, elRegister | elRegisterOnly, &none));
    EXPECT_FALSE(loc->ExtractEmbeddedLanguage(main, kFrench, 0, nullptr));
    EXPECT_EQ(none.Size(), 0);
    // A module without a container.
    EXPECT_FALSE(loc->ExtractEmbeddedLanguage(sys.AddModule("x.dll", false), 0, elRegister, &none));
}

TEST_F(SwitchTest, OldContainersHaveShortSizesAndNoNames) {
    Start();
    Bytes c = Container({Native(), German()}, 1);
    sys.AddRCData(main, langres::SEmbeddedLangsName, c);
    fw::TMemoryStream out;
    ASSERT_TRUE(loc->ExtractEmbeddedLanguage(main, kGerman, elRegister, &out));
    EXPECT_EQ(out.Bytes(), LangFile(German()));
    int i = loc->Languages()->IndexOfLang(kGerman);
    ASSERT_GE(i, 0);
    EXPECT_EQ(loc->Languages()->Items(i)->EnglishLangName, kutils::LocaleEnglishName(kGerman));
}

TEST_F(SwitchTest, DamagedContainersRaiseInvalidKLangs) {
    Start();
    Bytes good = Container({Native(), German()});
    auto expectInvalid = [&](const Bytes& data, uint16_t id, const char* what) {
        sys.AddRCData(main, langres::SEmbeddedLangsName, data);
        fw::TMemoryStream out;
        EXPECT_EQ(Error([&] { loc->ExtractEmbeddedLanguage(main, id, 0, &out); }), "Invalid KLANGS resource") << what;
    };
    // The last block one byte short of its size.
    expectInvalid(Bytes(good.begin(), good.end() - 1), kGerman, "short block");
    // A size far beyond the data, in the block that is skipped.
    Bytes huge = good;
    size_t dirEnd = 3 + 2 + 4 + 2 + (2 + 1 + 7) + (2 + 1 + 6);
    huge[dirEnd + 3] = 0x7F;
    expectInvalid(huge, kGerman, "size of a skipped block");
    // Cut in the directory; a name running past the end.
    expectInvalid(Bytes(good.begin(), good.begin() + 14), 0, "cut directory");
    Bytes name = good;
    name[3 + 2 + 4 + 2 + 2] = 0xFF;  // name counter beyond everything
    expectInvalid(name, 0, "unterminated name");
    // More entries than the data could hold.
    Bytes count = good;
    count[9] = 0xFF;
    count[10] = 0xFF;
    expectInvalid(count, 0, "count");
    // No "KLL": no container at all.
    Bytes other = good;
    other[0] = 'k';
    sys.AddRCData(main, langres::SEmbeddedLangsName, other);
    fw::TMemoryStream out;
    EXPECT_FALSE(loc->ExtractEmbeddedLanguage(main, 0, elRegister, &out));
}

// The program reads its container with the reader the tool uses: both give the same language
// or both refuse the container, and a damaged directory registers no language at all.
TEST_F(SwitchTest, ContainerIsReadLikeTheToolReadsIt) {
    Start();
    LangContent fr = French();
    fr.Compress = true;
    Bytes good = Container({Native(), German(), fr});
    std::vector<std::pair<std::string, Bytes>> cases = {{"good", good}, {"old", Container({Native(), German()}, 1)}};
    size_t dirEnd = 3 + 2 + 4 + 2 + (2 + 1 + 7) + (2 + 1 + 6) + (2 + 1 + 6);
    for (size_t cut : {size_t(12), size_t(20), dirEnd - 1, dirEnd + 2, good.size() - 1})
        cases.push_back({"cut at " + std::to_string(cut), Bytes(good.begin(), good.begin() + cut)});
    Bytes name = good;
    name[3 + 2 + 4 + 2 + 2 + 1 + 7 + 2] = 0xFF;  // the second name runs past the end
    cases.push_back({"second name", name});
    Bytes size = good;
    size[dirEnd + 3] = 0x7F;
    cases.push_back({"first size", size});
    for (const auto& [what, data] : cases) {
        for (uint16_t id : {uint16_t(0), kGerman, kFrench, kRussian}) {
            loc = std::make_unique<TTestLocalizer>();
            loc->ShowErrors = false;
            sys.AddRCData(main, langres::SEmbeddedLangsName, data);
            std::vector<uint8_t> tool;
            std::string toolError;
            bool toolFound = false;
            try {
                toolFound = langres::ExtractContainerLanguage(data.data(), data.size(), id, tool);
            } catch (const fw::Exception& e) {
                toolError = e.Message();
            }
            fw::TMemoryStream out;
            std::string error = Error([&] {
                bool found = loc->ExtractEmbeddedLanguage(main, id, elRegister, &out);
                EXPECT_EQ(found, toolFound) << what << " " << id;
            });
            bool directoryDamaged = false;
            try {
                langres::ReadLangContainer(data.data(), data.size(), false);
            } catch (const fw::Exception&) {
                directoryDamaged = true;
            }
            if (directoryDamaged) {
                EXPECT_EQ(loc->Languages()->Count(), 0) << what << " " << id;
            }
            if (!toolError.empty()) {
                EXPECT_EQ(error, toolError) << what << " " << id;
            } else {
                EXPECT_EQ(error, "(no error)") << what << " " << id;
                if (toolFound) {
                    EXPECT_EQ(out.Bytes(), tool) << what << " " << id;
                }
            }
        }
    }
}

// ---- Init and switching

TEST_F(SwitchTest, InitNeedsANativeLanguage) {
    Start();
    EXPECT_EQ(Error([&] { loc->SwitchToLangCode("ntv"); }), "Localizer is not initialized");
    std::string message = Error([&] { loc->Init(langDir); });
    EXPECT_EQ(message, "Language file \"" + kutils::JoinPath(loc->LangFolderFull(), "App.ntv.lng") + "\" is not found");
    EXPECT_EQ(fs::path(loc->LangFolderFull()), fs::path(langDir));
    EXPECT_FALSE(loc->Initialized);
    EXPECT_FALSE(loc->Loading);
    EXPECT_EQ(Error([&] { loc->SwitchToLangCode("ntv"); }), "Localizer is not initialized");
    EXPECT_EQ(Error([&] { loc->SwitchToLangFile(appFile); }), "Localizer is not initialized");
}

TEST_F(SwitchTest, InitShowsItsErrorWhenAskedAndStaysUnusable) {
    Start();
    loc->ShowErrors = true;
    EXPECT_NO_THROW(loc->Init(langDir));
    ASSERT_EQ(loc->Shown.size(), 1u);
    EXPECT_EQ(loc->Shown[0],
              "Language file \"" + kutils::JoinPath(loc->LangFolderFull(), "App.ntv.lng") + "\" is not found");
    EXPECT_FALSE(loc->Initialized);
    EXPECT_FALSE(loc->Loading);
    loc->SwitchToLangCode("ntv");
    ASSERT_EQ(loc->Shown.size(), 2u);
    EXPECT_EQ(loc->Shown[1], "Localizer is not initialized");
}

TEST_F(SwitchTest, NativeFromTheFileAndOnlyNewLanguagesFromTheContainer) {
    LangContent embeddedEnglish = Native();
    embeddedEnglish.English = "English (embedded)";
    Start({18, true, true, {embeddedEnglish, French()}});
    Lang("ntv", Native());
    loc->Init(langDir);
    ASSERT_TRUE(loc->Initialized);
    EXPECT_EQ(loc->CurrentLangId, kEnglish);
    EXPECT_EQ(Names(loc->Languages()), (std::vector<std::string>{"English", "French"}));
    EXPECT_EQ(loc->Languages()->Items(0)->LangFile, "App.ntv.lng");
    EXPECT_TRUE(loc->Languages()->IsEmbeddedLang(kFrench));
    EXPECT_EQ(loc->LangResource()->LanguageCount(), 1);
    EXPECT_EQ(loc->ListNativeLangId(), kEnglish);
}

TEST_F(SwitchTest, FileLanguageBuildsAModuleOnceAndSwitchingBackRestoresTheProgram) {
    Start({18, true, true, {Native()}});
    Lang("ntv", Native());
    Lang(Code(kGerman), German(3));
    int before = 0, after = 0;
    TLFInfo* afterInfo = nullptr;
    loc->OnBeforeSwitch = [&](TKLocalizerOnFly*) { ++before; };
    loc->OnAfterSwitch = [&](TKLocalizerOnFly*, TLFInfo* info) {
        ++after;
        afterInfo = info;
    };
    loc->Init("lang");
    EXPECT_EQ(before + after, 0);

    loc->SwitchToLangCode(Code(kGerman));
    EXPECT_EQ(before, 1);
    EXPECT_EQ(after, 1);
    ASSERT_NE(afterInfo, nullptr);
    EXPECT_EQ(afterInfo->LangId, kGerman);
    EXPECT_EQ(Str(kHelloId), u"Hallo");
    EXPECT_EQ(Str(kOnlyId), u"Only in the program");
    EXPECT_EQ(loc->CurrentLangId, kGerman);
    EXPECT_EQ(loc->PrevLangId, kEnglish);
    EXPECT_EQ(loc->LangResource()->LanguageCount(), 2);
    EXPECT_EQ(loc->LangResource()->CurrentIndex, 1);
    std::string module = ModuleOf(kGerman);
    ASSERT_TRUE(fs::exists(module));
    auto rec = ModuleRecord(module);
    EXPECT_EQ(rec.LangId, kGerman);
    EXPECT_EQ(rec.Revision, 18u);
    EXPECT_EQ(rec.Build, 3u);

    for (const char* code : {"", "EXE", "nTv", "exe"}) {
        loc->SwitchToLangCode(code);
        EXPECT_EQ(Str(kHelloId), u"Hello") << code;
        EXPECT_EQ(loc->CurrentLangId, kEnglish) << code;
        EXPECT_EQ(loc->LangResource()->CurrentIndex, 0) << code;
    }
    EXPECT_EQ(sys.FindResourceModule(main), main);
    EXPECT_EQ(loc->LangResource()->LanguageCount(), 2);

    // The module is reused: not rewritten, and the language file is not loaded again.
    auto stamp = fs::last_write_time(module) - std::chrono::hours(24);
    fs::last_write_time(module, stamp);
    loc->SwitchToLangCode(Code(kGerman));
    EXPECT_EQ(Str(kHelloId), u"Hallo");
    EXPECT_EQ(fs::last_write_time(module), stamp);
    EXPECT_EQ(loc->LangResource()->LanguageCount(), 2);
    // Again while it is current: nothing is rebuilt either.
    loc->SwitchToLangCode(Code(kGerman));
    EXPECT_EQ(fs::last_write_time(module), stamp);
    EXPECT_EQ(Str(kHelloId), u"Hallo");

    // A new build of the language file makes the module stale; the new module carries the
    // new file's texts with its build.
    LangContent newer = German(4);
    newer.Hello = u"Guten Tag";
    Lang(Code(kGerman), newer);
    loc->SwitchToLangCode(Code(kGerman));
    EXPECT_NE(fs::last_write_time(module), stamp);
    EXPECT_EQ(ModuleRecord(module).Build, 4u);
    EXPECT_EQ(ModuleString(module, kHelloId), u"Guten Tag");
    EXPECT_EQ(Str(kHelloId), u"Guten Tag");
    // Back and forth again: the new file is not loaded a second time, its module is reused.
    int languages = loc->LangResource()->LanguageCount();
    loc->SwitchToLangCode("ntv");
    loc->SwitchToLangCode(Code(kGerman));
    EXPECT_EQ(loc->LangResource()->LanguageCount(), languages);
    EXPECT_EQ(Str(kHelloId), u"Guten Tag");
}

TEST_F(SwitchTest, ModuleOfAnotherRevisionIsDeletedAndRebuilt) {
    Start({18, true, true, {Native()}});
    Lang(Code(kGerman), German(3));
    // Left by an older program: revision 17, same language and build.
    WriteFile(ModuleOf(kGerman), StaleModule(17, kGerman, 3, kHelloId, u"Alt"));
    loc->Init(langDir);
    loc->SwitchToLangCode(Code(kGerman));
    EXPECT_EQ(Str(kHelloId), u"Hallo");
    EXPECT_EQ(ModuleRecord(ModuleOf(kGerman)).Revision, 18u);
    EXPECT_EQ(ModuleString(ModuleOf(kGerman), kHelloId), u"Hallo");
}

TEST_F(SwitchTest, EmbeddedLanguagesAppendAModelLanguagePerSwitch) {
    Start({18, true, true, {Native(), French()}});
    Lang("ntv", Native());  // switching to the native language loads nothing
    loc->Init(langDir);
    EXPECT_EQ(loc->LangResource()->LanguageCount(), 1);
    loc->SwitchToLangCode(Code(kFrench));
    EXPECT_EQ(Str(kHelloId), u"Bonjour");
    EXPECT_EQ(loc->LangResource()->LanguageCount(), 2);
    loc->SwitchToLangCode("ntv");
    EXPECT_EQ(Str(kHelloId), u"Hello");
    loc->SwitchToLangCode(Code(kFrench));
    EXPECT_EQ(loc->LangResource()->LanguageCount(), 3);
    // The first model language of the id is the one used.
    EXPECT_EQ(loc->CurrentLangIndex, 1);
    EXPECT_EQ(Str(kHelloId), u"Bonjour");

    // A file of the same language wins over the container.
    LangContent fileFr = French();
    fileFr.Hello = u"Salut";
    fileFr.Build = 6;
    Lang(Code(kFrench), fileFr);
    loc->SwitchToLangCode("ntv");
    loc->SwitchToLangCode(Code(kFrench));
    EXPECT_EQ(ModuleRecord(ModuleOf(kFrench)).Build, 6u);
    // The module carries the file's build, so it carries the file's texts too.
    EXPECT_EQ(ModuleString(ModuleOf(kFrench), kHelloId), u"Salut");
    EXPECT_EQ(Str(kHelloId), u"Salut");

    EXPECT_EQ(Error([&] { loc->SwitchToEmbeddedLang(kGerman); }),
              "Can not load language " + kutils::LocaleEnglishName(kGerman) + " from resources");
}

TEST_F(SwitchTest, UnknownLanguagesAndShownErrors) {
    Start({18, true, true, {Native()}});
    loc->Init(langDir);
    // An unknown code has no language name: the message says the code that was asked for.
    EXPECT_EQ(Error([&] { loc->SwitchToLangCode("zz-unknown"); }), "Language \"zz-unknown\" is not found");
    EXPECT_EQ(Error([&] { loc->SwitchToLangCode(Code(kGerman)); }),
              "Language \"" + kutils::LocaleEnglishName(kGerman) + "\" is not found");
    std::string missing = (fs::path(langDir) / "App.none.lng").string();
    EXPECT_EQ(Error([&] { loc->SwitchToLangFile(missing); }), "Language file \"" + missing + "\" is not found");
    loc->ShowErrors = true;
    EXPECT_NO_THROW(loc->SwitchToLangCode(Code(kGerman)));
    ASSERT_EQ(loc->Shown.size(), 1u);
    EXPECT_EQ(loc->Shown[0], "Language \"" + kutils::LocaleEnglishName(kGerman) + "\" is not found");
    EXPECT_EQ(Str(kHelloId), u"Hello");
}

TEST_F(SwitchTest, ScreenFontsFollowTheLanguageUnlessKeepCharset) {
    Start({18, true, true, {Native()}});
    Lang(Code(kRussian), Russian());
    loc->Init(langDir);
    EXPECT_TRUE(loc->AdjustCharset);
    loc->SwitchToLangCode(Code(kRussian));
    int32_t cyr = kutils::LocaleCharset(kRussian);
    ASSERT_NE(cyr, 1);
    EXPECT_EQ(fw::Screen().IconFont()->Charset(), cyr);
    EXPECT_EQ(fw::Screen().HintFont()->Charset(), cyr);
    EXPECT_EQ(fw::Screen().MenuFont()->Charset(), cyr);
    loc->SwitchToLangCode("ntv");
    EXPECT_EQ(fw::Screen().MenuFont()->Charset(), kutils::LocaleCharset(kEnglish));
}

TEST_F(SwitchTest, KeepCharsetOfTheNativeFileLeavesTheFontsAlone) {
    Start();
    LangContent n = Native();
    n.Options = langres::loKeepCharset;
    Lang("ntv", n);
    Lang(Code(kRussian), Russian());
    loc->Init(langDir);
    EXPECT_FALSE(loc->AdjustCharset);
    loc->SwitchToLangCode(Code(kRussian));
    EXPECT_EQ(fw::Screen().IconFont()->Charset(), 1);
    EXPECT_EQ(Str(kHelloId), u"\u041F\u0440\u0438\u0432\u0435\u0442");
}

TEST_F(SwitchTest, DestructionSwitchesBackAndDeletesTheModuleWhenAsked) {
    Start({18, true, true, {Native()}});
    Lang(Code(kGerman), German());
    loc->DeleteOldDLLs = true;
    loc->Init(langDir);
    loc->SwitchToLangCode(Code(kGerman));
    ASSERT_TRUE(fs::exists(ModuleOf(kGerman)));
    loc.reset();
    EXPECT_FALSE(fs::exists(ModuleOf(kGerman)));
    EXPECT_EQ(Str(kHelloId), u"Hello");
}

TEST_F(SwitchTest, OpenFormsAreTranslatedAfterASwitch) {
    Start({18, true, true, {Native()}});
    // The native file and the German one carry a caption for the form class TProbeForm.
    auto withForm = [](LangContent s, std::u16string caption) {
        langres::TLangFileImage img;
        img.Header.LangId = s.LangId;
        img.Header.Revision = 18;
        img.Header.Build = s.Build;
        img.Header.EnglishLangName = s.English;
        img.Header.NativeLangName = s.Native;
        img.Header.IsNative = s.IsNative;
        langres::TLFForm form;
        form.Name = "ProbeForm";
        langres::TLFRecord r;
        r.Name = "Caption";
        r.Id = 1;
        r.Kind = langres::vkString;
        r.Value.Present = true;
        r.Value.Text = caption;
        form.Properties.push_back(r);
        img.Forms.push_back(form);
        return langres::WriteLangFile(img, 7, false);
    };
    WriteFile((fs::path(langDir) / "App.ntv.lng").string(), withForm(Native(), u"Window"));
    WriteFile((fs::path(langDir) / ("App." + Code(kGerman) + ".lng")).string(), withForm(German(), u"Fenster"));
    const fw::TClassInfo& cls = fw::DefineComponentClass("TProbeForm", fw::TForm::StaticClass());
    std::unique_ptr<fw::TComponent> form(cls.Create(nullptr));
    loc->Init(langDir);
    loc->SwitchToLangCode(Code(kGerman));
    EXPECT_EQ(static_cast<fw::TForm*>(form.get())->Caption, "Fenster");
    loc->SwitchToLangCode("ntv");
    EXPECT_EQ(static_cast<fw::TForm*>(form.get())->Caption, "Window");
}

TEST_F(SwitchTest, DamagedLanguageFilesAreNamed) {
    Start({18, true, true, {Native()}});
    loc->Init(langDir);
    std::string file = (fs::path(langDir) / ("App." + Code(kGerman) + ".lng")).string();
    WriteFile(file, Bytes{'X', 'Y', 7, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    std::string e = Error([&] { loc->SwitchToLangCode(Code(kGerman)); });
    EXPECT_EQ(e, "Language file \"" + loc->LangFileName(Code(kGerman)) + "\": Invalid file format");
    EXPECT_EQ(Str(kHelloId), u"Hello");
}

TEST_F(SwitchTest, DamagedNativeLanguageFileIsNamed) {
    Start({18, true, true, {Native()}});
    WriteFile((fs::path(langDir) / "App.ntv.lng").string(), Bytes{'L', 'F', 0, 0, 0, 0, 0, 0});
    std::string e = Error([&] { loc->Init(langDir); });
    EXPECT_EQ(e, "Language file \"" + loc->NativeLangFileName() + "\": Invalid file format");
}

TEST_F(SwitchTest, CodesThatAreNoPlainAbbreviationAreRefusedBeforeAnyFileIsNamed) {
    Start({18, true, true, {Native()}});
    loc->Init(langDir);
    // A language file outside the language folder that a path in the code would reach.
    fs::create_directories(fs::path(langDir) / "App.x");
    WriteFile((dir / "app" / "evil.lng").string(), LangFile(German()));
    int before = 0;
    loc->OnBeforeSwitch = [&](TKLocalizerOnFly*) { ++before; };
    for (std::string code : {"x/../../evil", "x\\..\\..\\evil", "..", "GER.x", "C:GER", "a b", "GER/"}) {
        EXPECT_EQ(Error([&] { loc->SwitchToLangCode(code); }), "Language \"" + code + "\" is not found") << code;
        EXPECT_EQ(Error([&] { loc->SwitchLanguage(kGerman, code); }), "Language \"" + code + "\" is not found") << code;
    }
    EXPECT_EQ(before, 0);
    EXPECT_EQ(Str(kHelloId), u"Hello");
    EXPECT_EQ(loc->CurrentLangId, kEnglish);
    EXPECT_TRUE(fs::is_empty(dllDir));
    // A plain code still works.
    Lang(Code(kGerman), German());
    loc->SwitchToLangCode(Code(kGerman));
    EXPECT_EQ(Str(kHelloId), u"Hallo");
}

// The module folder given relative to the application, or none at all (modules beside the
// program): the previous language's module goes, a file of that name in the current directory
// stays, and so does the module in use.
struct PreviousModuleTest : SwitchTest {
    void Check(const std::string& folder) {
        fs::path cwd = dir / "cwd";
        fs::create_directories(cwd / "dll");
        fs::path saved = fs::current_path();
        fs::current_path(cwd);
        struct Back {
            fs::path p;
            ~Back() { fs::current_path(p); }
        } back{saved};
        Start({18, true, true, {Native()}});
        if (folder.empty()) {
            loc = std::make_unique<TTestLocalizer>();  // never set: modules beside the program
            loc->ShowErrors = false;
        } else {
            loc->SetDLLFolder(folder);
        }
        loc->DeleteOldDLLs = true;
        Lang(Code(kGerman), German());
        Lang(Code(kFrench), French());
        loc->Init(langDir);
        std::string where = folder.empty() ? appDir : dllDir;
        std::string german = (fs::path(where) / ("App." + Code(kGerman))).string();
        std::string decoy = (cwd / folder / ("App." + Code(kGerman))).string();
        WriteFile(decoy, Bytes{1});
        loc->SwitchToLangCode(Code(kGerman));
        ASSERT_TRUE(fs::exists(german));
        loc->SwitchToLangCode(Code(kGerman));
        EXPECT_TRUE(fs::exists(german));
        EXPECT_EQ(Str(kHelloId), u"Hallo");
        loc->SwitchToLangCode(Code(kFrench));
        EXPECT_EQ(Str(kHelloId), u"Bonjour");
        EXPECT_FALSE(fs::exists(german));
        EXPECT_TRUE(fs::exists(decoy));
        EXPECT_TRUE(fs::exists(fs::path(where) / ("App." + Code(kFrench))));
    }
};

TEST_F(PreviousModuleTest, InAFolderRelativeToTheProgram) {
    Check("dll");
}

TEST_F(PreviousModuleTest, BesideTheProgram) {
    Check("");
}
