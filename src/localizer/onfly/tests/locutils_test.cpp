// The resource-module utilities over modules held in memory: settings records, loading a
// translated module with its revision check, and the module list's resource handle.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "OnFlyTestUtil.h"
#include "localizer/onfly/LocUtils.h"

using namespace onfly;
using namespace onflytest;
namespace fs = std::filesystem;

namespace {

langres::TSettingsRecord FullRecord(uint32_t build) {
    langres::TSettingsRecord rec;
    rec.Signature = "LDLL";
    rec.Revision = 18;
    rec.LangId = kGerman;
    rec.EnglishLangName = "German";
    rec.NativeLangName = u"Deutsch";
    rec.Build = build;
    return rec;
}

// Bytes of a record up to the end of the second name.
size_t NamesEnd(const langres::TSettingsRecord& rec) {
    return 4 + 4 + 2 + 2 + rec.EnglishLangName.size() + 2 + 2 * rec.NativeLangName.size();
}

TDLLInfoItem ReadBytes(const Bytes& b) {
    fw::TMemoryStream s(b);
    TDLLInfoItem item;
    TKLocUtils::ReadInfoRecord(s, item);
    return item;
}

struct LocUtilsTest : ::testing::Test {
    THostModuleSystem sys;
    std::unique_ptr<TKLocUtils> utils;
    fs::path dir;
    TModuleHandle main = 0;

    void SetUp() override {
        dir = fs::temp_directory_path() / ScratchName("onfly_lu_");
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        utils.reset();
        fs::remove_all(dir);
    }
    std::string File(const std::string& name, const Bytes& data) {
        std::string f = (dir / name).string();
        WriteFile(f, data);
        return f;
    }
    void Start(const AppLayout& layout = {}) {
        main = sys.LoadDataModule(File("app.exe", App(layout)));
        ASSERT_NE(main, 0u);
        sys.ListModule(main);
        sys.SetMainModule(main);
        utils = std::make_unique<TKLocUtils>(&sys);
    }
    // A translated module: the application's strings with another language's record.
    std::string Module(const std::string& name, uint32_t revision, uint16_t langId = kGerman) {
        resources::TResProcessor p;
        auto* strings = static_cast<resources::TResString*>(p.AddBlock(std::make_unique<resources::TResString>()));
        strings->AddString(kHelloId, langId == kGerman ? u"Hallo" : u"Bonjour");
        auto* rc = static_cast<resources::TResRCData*>(p.AddBlock(std::make_unique<resources::TResRCData>()));
        AddRC(rc, langres::SLibSettingsName, Record(langres::SLibSignature, revision, langId));
        p.FixedTimeStamp = 1;
        fw::TMemoryStream out;
        p.SaveToStream(out);
        return File(name, out.Bytes());
    }
    std::u16string Str(int id) {
        std::u16string t;
        return sys.ReadString(main, id, t) ? t : u"<none>";
    }
};

}  // namespace

TEST(LocUtilsRecord, BuildIsReadOnlyWhenMoreThanFourBytesFollowTheNames) {
    auto rec = FullRecord(0x01020304);
    Bytes full = langres::WriteSettingsRecordData(rec);
    size_t end = NamesEnd(rec);
    ASSERT_EQ(full.size(), end + 9);

    TDLLInfoItem item = ReadBytes(full);
    EXPECT_EQ(item.Revision, 18u);
    EXPECT_EQ(item.LangId, kGerman);
    EXPECT_EQ(item.EnglishLangName, "German");
    EXPECT_EQ(item.NativeLangName, u"Deutsch");
    EXPECT_EQ(item.Build, 0x01020304u);
    // Without the pad byte: 8 bytes follow, still enough.
    EXPECT_EQ(ReadBytes(Bytes(full.begin(), full.begin() + end + 8)).Build, 0x01020304u);
    // Ending right after the names, or with only the two words: build 0.
    EXPECT_EQ(ReadBytes(Bytes(full.begin(), full.begin() + end)).Build, 0u);
    EXPECT_EQ(ReadBytes(Bytes(full.begin(), full.begin() + end + 4)).Build, 0u);
    // A build cut in the middle is damage, not a value.
    EXPECT_THROW(ReadBytes(Bytes(full.begin(), full.begin() + end + 6)), fw::EReadError);
}

TEST(LocUtilsRecord, DamagedRecordsRaiseWithoutReadingPastTheData) {
    auto rec = FullRecord(7);
    Bytes full = langres::WriteSettingsRecordData(rec);
    // Cut inside the header, inside each name.
    for (size_t cut : {size_t(3), size_t(9), size_t(14), NamesEnd(rec) - 1}) {
        Bytes b(full.begin(), full.begin() + cut);
        EXPECT_THROW(ReadBytes(b), fw::EReadError) << cut;
    }
    // A name count far beyond the data.
    Bytes big = full;
    big[10] = 0xFF;
    big[11] = 0xFF;
    EXPECT_THROW(ReadBytes(big), fw::EReadError);
}

TEST(LocUtilsRecord, NamesEndAtAZeroInsideTheirCount) {
    auto rec = FullRecord(9);
    rec.EnglishLangName = std::string("Ger\0man", 7);
    rec.NativeLangName = std::u16string(u"Deu\0tsch", 8);
    TDLLInfoItem item = ReadBytes(langres::WriteSettingsRecordData(rec));
    EXPECT_EQ(item.EnglishLangName, "Ger");
    EXPECT_EQ(item.NativeLangName, u"Deu");
    // The fields after the names are still found by their counts.
    EXPECT_EQ(item.Build, 9u);
}

TEST_F(LocUtilsTest, SettingsOfAModuleAreCheckedByNameAndSignature) {
    Start();
    TDLLInfoItem item;
    utils->ReadModuleInfo(main, false, item);
    EXPECT_EQ(item.Revision, 18u);
    EXPECT_EQ(item.LangId, kEnglish);

    std::string expected = "Invalid resource file format \"" + sys.ModuleFileName(main) + "\"";
    // The record is there but under the other signature.
    sys.AddRCData(main, langres::SLibSettingsName, Record("KEXE", 18));
    try {
        utils->ReadModuleInfo(main, true, item);
        FAIL();
    } catch (const ELUInvalidResLibrary& e) {
        EXPECT_EQ(e.Message(), expected);
    }
    // Missing record.
    TModuleHandle empty = sys.AddModule("empty.dll", false);
    EXPECT_THROW(utils->OpenSettings(empty, true), ELUInvalidResLibrary);
    // Damaged record: cut inside the second name.
    Bytes cut = Record(langres::SLibSignature, 18);
    cut.resize(24);
    sys.AddRCData(main, langres::SLibSettingsName, cut);
    try {
        utils->ReadModuleInfo(main, true, item);
        FAIL();
    } catch (const ELUInvalidResLibrary& e) {
        EXPECT_EQ(e.Message(), expected);
    }
}

TEST_F(LocUtilsTest, LoadingChecksTheRevisionAndKeepsThePreviousModuleOnFailure) {
    Start();
    EXPECT_EQ(utils->LoadResourceModule(0, ""), main);
    int loaded = sys.LoadedCount();

    std::string missing = (dir / "nothere.DEU").string();
    try {
        utils->LoadResourceModule(0, missing);
        FAIL();
    } catch (const ELULoadResLibError& e) {
        EXPECT_EQ(e.Message(), "Error loading resource file \"" + missing + "\"");
    }

    std::string good = Module("app.DEU", 18);
    utils->SwitchMainResources(good);
    EXPECT_EQ(Str(kHelloId), u"Hallo");
    EXPECT_EQ(utils->CurrentModuleInfo().LangId, kGerman);
    loaded = sys.LoadedCount();

    std::string old = Module("old.DEU", 17);
    try {
        utils->SwitchMainResources(old);
        FAIL();
    } catch (const ELUOutOfVersion& e) {
        EXPECT_EQ(e.Message(),
                  "The version of the resource file \"" + old + "\" is invalid. Please, update the file and try again");
    }
    EXPECT_EQ(sys.LoadedCount(), loaded);  // nothing stays loaded
    EXPECT_EQ(Str(kHelloId), u"Hallo");    // the previous module is still in use

    // Made for a newer program: refused just the same, only the same revision is accepted.
    std::string newer = Module("newer.FRA", 19, kFrench);
    try {
        utils->SwitchMainResources(newer);
        FAIL();
    } catch (const ELUOutOfVersion& e) {
        EXPECT_EQ(e.Message(), "The version of the resource file \"" + newer +
                                   "\" is invalid. Please, update the file and try again");
    }
    TModuleHandle newerModule = sys.LoadDataModule(newer);
    EXPECT_FALSE(utils->RevisionsMatch(0, newerModule));
    sys.UnloadModule(newerModule);
    EXPECT_EQ(sys.LoadedCount(), loaded);
    EXPECT_EQ(Str(kHelloId), u"Hallo");
    EXPECT_EQ(utils->CurrentModuleInfo().LangId, kGerman);

    // A module whose own record is damaged: the check raises, the module is unloaded.
    std::string bad = File("bad.DEU", App({18, true, false, {}}));
    EXPECT_THROW(utils->SwitchMainResources(bad), ELUInvalidResLibrary);
    EXPECT_EQ(sys.LoadedCount(), loaded);
}

TEST_F(LocUtilsTest, ReplacingAModuleUnloadsTheOldOne) {
    Start();
    utils->SwitchMainResources(Module("a.DEU", 18));
    TModuleHandle first = sys.FindResourceModule(main);
    ASSERT_NE(first, main);
    utils->SwitchMainResources(Module("b.FRA", 18, kFrench));
    TModuleHandle second = sys.FindResourceModule(main);
    EXPECT_FALSE(sys.IsLoaded(first));
    EXPECT_EQ(Str(kHelloId), u"Bonjour");
    EXPECT_EQ(utils->CurrentModuleInfo().LangId, kFrench);

    // An empty name restores the program's own resources and unloads the module.
    utils->SwitchMainResources("");
    EXPECT_FALSE(sys.IsLoaded(second));
    EXPECT_EQ(sys.FindResourceModule(main), main);
    EXPECT_EQ(Str(kHelloId), u"Hello");
    EXPECT_EQ(utils->CurrentModuleInfo().LangId, kEnglish);

    utils->SwitchMainResources(Module("c.DEU", 18));
    TModuleHandle third = sys.FindResourceModule(main);
    utils->RestoreMainResources();
    EXPECT_FALSE(sys.IsLoaded(third));
    EXPECT_TRUE(sys.IsLoaded(main));

    // A module outside the list is left alone.
    TModuleHandle stranger = sys.AddModule("stranger.dll", false);
    utils->SetModuleResources(stranger, main);
    EXPECT_EQ(sys.FindResourceModule(stranger), stranger);
}

TEST_F(LocUtilsTest, CurrentModuleInfoNeverRaises) {
    Start({18, true, false, {}});
    utils->CurrentInfo.LangId = 1234;
    EXPECT_NO_THROW(utils->CurrentModuleInfo());
    EXPECT_EQ(utils->CurrentModuleInfo().LangId, 1234u);
    // A record damaged after the language: the fields before the damage are taken.
    Bytes cut = Record(langres::SLibSignature, 18, kGerman);
    cut.resize(13);
    sys.AddRCData(main, langres::SLibSettingsName, cut);
    EXPECT_NO_THROW(utils->CurrentModuleInfo());
    EXPECT_EQ(utils->CurrentModuleInfo().LangId, kGerman);
    EXPECT_EQ(utils->CurrentModuleInfo().EnglishLangName, "");

    TDLLInfoList list;
    list.Add(new TDLLInfoItem);
    list.Add(new TDLLInfoItem);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_THROW(list.Items(1), fw::EListError);
}

TEST_F(LocUtilsTest, ReloadingTheSameFileSeesItsCurrentBytes) {
    Start();
    std::string file = Module("App.DEU", 18);
    std::vector<uint8_t> data;
    TModuleHandle a = sys.LoadDataModule(file);
    ASSERT_NE(a, 0u);
    ASSERT_TRUE(sys.FindRCData(a, langres::SLibSettingsName, data));
    EXPECT_EQ(data, Record(langres::SLibSignature, 18, kGerman));
    sys.UnloadModule(a);

    // Rewritten in place with other bytes of the same size: the new record, not the old one.
    auto bytesOf = [](const std::string& f) {
        fw::TMemoryStream s;
        s.LoadFromFile(f);
        return s.Bytes();
    };
    Bytes before = bytesOf(file);
    Module("App.DEU", 19);
    Bytes after = bytesOf(file);
    ASSERT_EQ(before.size(), after.size());
    ASSERT_NE(before, after);
    TModuleHandle b = sys.LoadDataModule(file);
    ASSERT_NE(b, 0u);
    ASSERT_TRUE(sys.FindRCData(b, langres::SLibSettingsName, data));
    EXPECT_EQ(data, Record(langres::SLibSignature, 19, kGerman));

    // The same bytes again share what was read; a change to one module stays in that module.
    std::u16string t;
    TModuleHandle c = sys.LoadDataModule(file);
    ASSERT_NE(c, 0u);
    sys.AddString(c, kHelloId, u"changed");
    sys.AddRCData(c, "EXTRA", {1, 2, 3});
    ASSERT_TRUE(sys.ReadString(b, kHelloId, t));
    EXPECT_EQ(t, u"Hallo");
    EXPECT_FALSE(sys.FindRCData(b, "EXTRA", data));
    ASSERT_TRUE(sys.ReadString(c, kHelloId, t));
    EXPECT_EQ(t, u"changed");
    TModuleHandle d = sys.LoadDataModule(file);
    ASSERT_TRUE(sys.ReadString(d, kHelloId, t));
    EXPECT_EQ(t, u"Hallo");

    // A file that became garbage does not load, whatever was read from that name before.
    WriteFile(file, Bytes(after.size(), 0x41));
    EXPECT_EQ(sys.LoadDataModule(file), 0u);
}
