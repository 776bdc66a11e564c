#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <tuple>

#include "framework/Classes.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/LangContainer.h"
#include "localizer/langres/LangWriter.h"
#include "localizer/langres/SettingsRecord.h"
#include "localizer/resources/FormConvert.h"
#include "localizer/resources/PEReader.h"
#include "localizer/resources/ResProc.h"
#include "localizer/resources/tests/FormText.h"
#include "localizer/resources/tests/StringBlock.h"

using namespace langres;
using resources::TResProcessor;
using resources::TResRCData;
using resources::TResString;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

TLFRecord Const(const char* name, uint32_t id, uint16_t resId, std::u16string text) {
    TLFRecord r;
    r.Name = name;
    r.Id = id;
    r.ResId = resId;
    r.Value.Present = true;
    r.Value.Text = std::move(text);
    return r;
}

Bytes LangFile(uint16_t langId, const char* name, const std::u16string& hello, const std::u16string& bye,
               uint32_t build) {
    TLangFileImage img;
    img.Header.LangId = langId;
    img.Header.Revision = 18;
    img.Header.Build = build;
    img.Header.EnglishLangName = name;
    img.Header.NativeLangName = langId == 0x0407 ? u"Deutsch" : u"English";
    img.Header.IsNative = langId == 9;
    TLFUnit unit;
    unit.Name = "SampleStrings";
    unit.Constants.push_back(Const("SBye", 2, 101, bye));
    unit.Constants.push_back(Const("SHello", 1, 100, hello));
    img.Units.push_back(unit);
    return WriteLangFile(img, 7, false);
}

Bytes SettingsBytes(const char* sig, uint16_t carried, bool withTail = true) {
    TSettingsRecord rec;
    rec.Signature = sig;
    rec.Revision = 18;
    rec.LangId = 9;
    rec.EnglishLangName = "English";
    rec.NativeLangName = u"English";
    rec.CarriedWord = carried;
    Bytes b = WriteSettingsRecordData(rec);
    if (!withTail) b.resize(b.size() - 9);
    return b;
}

void AddRC(TResRCData* rc, const char* name, const Bytes& data) {
    fw::TBytesStream s(data.data(), static_cast<int64_t>(data.size()));
    rc->Add(name)->LoadData(s);
}

// An application's resources: strings 100, 101 and 200 (not in the dictionary), a form, both
// settings records and an embedded container.
Bytes SourceModule(const Bytes* libSettings) {
    TResProcessor p;
    auto* strings = static_cast<TResString*>(p.AddBlock(std::make_unique<TResString>()));
    strings->AddString(100, u"Hello");
    strings->AddString(101, u"Goodbye");
    strings->AddString(200, u"Untouched");
    auto* rc = static_cast<TResRCData*>(p.AddBlock(std::make_unique<TResRCData>()));
    AddRC(rc, "TSAMPLEFORM", Bytes{'T', 'P', 'F', '0', 1, 2, 3});
    AddRC(rc, SExeSettingsName, SettingsBytes(SExeSignature, 6));
    if (libSettings) AddRC(rc, SLibSettingsName, *libSettings);
    TLangContainer c;
    c.Entries.push_back({9, "English", LangFile(9, "English", u"Hello", u"Goodbye", 0)});
    AddRC(rc, SEmbeddedLangsName, WriteLangContainer(c));
    p.FixedTimeStamp = 1;
    fw::TMemoryStream out;
    p.SaveToStream(out);
    return out.Bytes();
}

struct TempDir {
    fs::path path;
    TempDir() {
        path = fs::temp_directory_path() /
               ("vtp_modbuild_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(path);
        fs::create_directories(path);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string File(const char* name, const Bytes& data) const {
        std::string f = (path / name).string();
        fw::WriteFileAtomically(f, data.data(), data.size());
        return f;
    }
};

// Model with the native language and German at index 1; the German file object.
struct Translation {
    TLangResource model;
    TLangFile german;
    Translation() {
        TLangFile native;
        Bytes n = LangFile(9, "English", u"Hello", u"Goodbye", 0);
        fw::TMemoryStream ns(n);
        native.LoadFromStream(ns, &model, -1);
        int de = model.AddLanguage(0, 0x0407);
        Bytes g = LangFile(0x0407, "German", u"Hallo", u"Auf Wiedersehen", 4711);
        fw::TMemoryStream gs(g);
        german.LoadFromStream(gs, &model, de);
        german.DllLangIndex = de;
    }
};

Bytes RecordOf(TResProcessor& p, const char* name) {
    auto* rc = static_cast<TResRCData*>(p.FindBlock(10));
    auto* item = rc ? rc->FindByName(name) : nullptr;
    if (!item) return {};
    fw::TMemoryStream s;
    item->SaveData(s);
    return s.Bytes();
}

}  // namespace

TEST(ResourceModule, BuiltFromTheModuleFile) {
    TempDir dir;
    Bytes lib = SettingsBytes(SLibSignature, 0x2A);
    // German is one byte shorter than English: the new pad byte sits where the source had the
    // last byte of its build, and keeps it.
    lib[lib.size() - 2] = 0x5A;
    std::string src = dir.File("app.ntv", SourceModule(&lib));
    Translation t;
    std::string out = (dir.path / "app.de.dll").string();
    t.german.SaveResourceModule(0, out, &t.model, src);

    TResProcessor p;
    p.LoadFromFile(out);
    auto* strings = static_cast<TResString*>(p.FindBlock(6));
    ASSERT_NE(strings, nullptr);
    EXPECT_EQ(strings->FindString(100)->Text, u"Hallo");
    EXPECT_EQ(strings->FindString(101)->Text, u"Auf Wiedersehen");
    EXPECT_EQ(strings->FindString(200)->Text, u"Untouched");
    EXPECT_EQ(RecordOf(p, "TSAMPLEFORM"), (Bytes{'T', 'P', 'F', '0', 1, 2, 3}));
    EXPECT_TRUE(RecordOf(p, SExeSettingsName).empty());
    EXPECT_TRUE(RecordOf(p, SEmbeddedLangsName).empty());

    Bytes rec = RecordOf(p, SLibSettingsName);
    TSettingsRecord r;
    ASSERT_TRUE(ReadSettingsRecordData(rec.data(), rec.size(), r, SLibSignature));
    EXPECT_EQ(rec.size(), SettingsRecordFieldsSize(r) + 1);
    EXPECT_EQ(rec.back(), 0x5A);
    EXPECT_EQ(r.Revision, 18u);  // the application's
    EXPECT_EQ(r.LangId, 0x0407);
    EXPECT_EQ(r.EnglishLangName, "German");
    EXPECT_EQ(r.NativeLangName, u"Deutsch");
    EXPECT_EQ(r.CarriedWord, 0x2A);
    EXPECT_EQ(r.Build, 4711u);
}

TEST(ResourceModule, CarriedWordDefaultsAndNativeIndex) {
    TempDir dir;
    Bytes lib = SettingsBytes(SLibSignature, 0, false);  // ends after the names
    std::string src = dir.File("app.ntv", SourceModule(&lib));
    Translation t;
    t.german.DllLangIndex = 0;  // native values into a German-labelled module
    fw::TMemoryStream out;
    t.german.BuildResourceModule(0, out, &t.model, src);
    std::string built = dir.File("built.dll", out.Bytes());
    TResProcessor p;
    p.LoadFromFile(built);
    EXPECT_EQ(static_cast<TResString*>(p.FindBlock(6))->FindString(100)->Text, u"Hello");
    Bytes rec = RecordOf(p, SLibSettingsName);
    TSettingsRecord r;
    ASSERT_TRUE(ReadSettingsRecordData(rec.data(), rec.size(), r));
    EXPECT_EQ(r.CarriedWord, DefaultCarriedWord);
    EXPECT_EQ(rec.size(), SettingsRecordFieldsSize(r) + 1);
    EXPECT_EQ(rec.back(), 0);
}

TEST(ResourceModule, SourceWithoutValidLibrarySettingsIsRefused) {
    TempDir dir;
    Translation t;
    Bytes wrongSig = SettingsBytes(SExeSignature, 6);
    Bytes cut = SettingsBytes(SLibSignature, 6);
    cut.resize(12);
    for (const Bytes* lib : std::vector<const Bytes*>{nullptr, &wrongSig, &cut}) {
        std::string src = dir.File("app.ntv", SourceModule(lib));
        std::string out = (dir.path / "out.dll").string();
        try {
            t.german.SaveResourceModule(0, out, &t.model, src);
            ADD_FAILURE() << "built a module from an invalid source";
        } catch (const ELFProcError& e) {
            EXPECT_EQ(e.Message(), "Can't create DLL. The native DLL is invalid");
        }
        EXPECT_FALSE(fs::exists(out));
    }
    std::string src = dir.File("app.ntv", SourceModule(&cut));
    fw::TMemoryStream out;
    EXPECT_THROW(t.german.BuildResourceModule(0, out, nullptr, src), ELFProcError);
}

namespace {

Bytes FormBinary(const std::string& caption) {
    return restest::FormFromText("object MainForm: TMainForm\r\n  Caption = '" + caption + "'\r\nend\r\n", 0x0409);
}

// A program built with the framework's own tools (no settings records): string block 7 (ids
// 96 to 111) in languages 0 and 9, the form in three languages (two of them the same form), a
// numeric RCDATA id.
Bytes ProgramInTwoLanguages() {
    using resources::TResId;
    using resources::TResRawBlock;
    TResProcessor p;
    TResId strings, rcdata, block, form, numeric;
    strings.Id = 6;
    rcdata.Id = 10;
    block.Id = 7;
    form.IsName = true;
    form.Name = u"TMAINFORM";
    numeric.Id = 101;
    auto* st = static_cast<TResRawBlock*>(p.AddBlock(std::make_unique<TResRawBlock>(strings)));
    st->Entries.push_back({block, 0, restest::StringBlockData({{4, u"Hello"}, {5, u"Goodbye"}})});
    st->Entries.push_back({block, 9, restest::StringBlockData({{4, u"Hello"}, {5, u"Bye"}, {6, u"Only in nine"}})});
    auto* rc = static_cast<TResRawBlock*>(p.AddBlock(std::make_unique<TResRawBlock>(rcdata)));
    rc->Entries.push_back({form, 0, FormBinary("Main window")});
    rc->Entries.push_back({form, 0x0409, FormBinary("Main window")});
    rc->Entries.push_back({form, 0x0407, FormBinary("Hauptfenster")});
    rc->Entries.push_back({numeric, 0, Bytes{'n', 'u', 'm'}});
    p.FixedTimeStamp = 1;
    fw::TMemoryStream out;
    p.SaveToStream(out);
    return out.Bytes();
}

// A language file's header for the language; a native dictionary when `native`.
TLFHeader Header(uint16_t langId, const char* english, const char16_t* nativeName, bool native) {
    TLFHeader h;
    h.LangId = langId;
    h.Revision = 1;
    h.EnglishLangName = english;
    h.NativeLangName = nativeName;
    h.IsNative = native ? 1 : 0;
    return h;
}

TLFRecord Caption(uint32_t id, std::u16string text) {
    TLFRecord r;
    r.Name = "Caption";
    r.Id = id;
    r.Value.Present = true;
    r.Value.Text = std::move(text);
    return r;
}

void LoadImage(const TLangFileImage& img, TLangFile& file, TLangResource& model, int index) {
    Bytes b = WriteLangFile(img, 7, false);
    fw::TMemoryStream s(b);
    file.LoadFromStream(s, &model, index);
}

// `img` as the model's translation into the language of its header, loaded into `file` ready to
// build a module.
void LoadTranslation(const TLangFileImage& img, TLangFile& file, TLangResource& model) {
    int index = model.AddLanguage(0, img.Header.LangId);
    LoadImage(img, file, model, index);
    file.DllLangIndex = index;
    file.ModuleTimeStamp = 1;
}

// (type, name, language) -> bytes of a module file; ids as "#n".
std::map<std::tuple<std::string, std::string, uint16_t>, Bytes> Resources(const std::string& path) {
    resources::TPEReader reader(path);
    std::map<std::tuple<std::string, std::string, uint16_t>, Bytes> out;
    for (auto& type : reader.ResourceList()->GetItems())
        for (auto& name : type->GetList()->GetItems())
            for (const auto& lang : name->Languages())
                out[{type->Name(), (name->NameField() & 0x80000000u) ? name->Name() : "#" + name->Name(),
                     lang.Language}] = Bytes(lang.Data, lang.Data + lang.Size);
    return out;
}

}  // namespace

// Every language of the program is in its module, each translated only where its text is the
// one the dictionary translates; numeric RCDATA ids stay ids.
TEST(ResourceModule, ProgramWithoutSettingsRecordsInTwoLanguages) {
    TempDir dir;
    const std::string src = dir.File("inv.exe", ProgramInTwoLanguages());
    TLangResource model;
    {
        TLangFileImage img;
        img.Header = Header(9, "English", u"English", true);
        TLFUnit unit;
        unit.Name = "Strings";
        unit.Constants.push_back(Const("S100", 1, 100, u"Hello"));
        unit.Constants.push_back(Const("S101", 2, 101, u"Goodbye"));
        img.Units.push_back(unit);
        TLFForm f;
        f.Name = "MainForm";
        f.Properties.push_back(Caption(1, u"Main window"));
        img.Forms.push_back(f);
        TLangFile native;
        LoadImage(img, native, model, -1);
        img.Header = Header(0x0407, "German", u"Deutsch", false);
        img.Units[0].Constants[0].Value.Text = u"Hallo";
        img.Units[0].Constants[1].Value.Text = u"Auf Wiedersehen";
        img.Forms[0].Properties[0].Value.Text = u"Rechnungen";
        TLangFile german;
        LoadTranslation(img, german, model);
        german.SaveResourceModule(0, (dir.path / "inv.DEU").string(), &model, src);
    }
    const auto in = Resources(src), out = Resources((dir.path / "inv.DEU").string());
    // Strings: language 0 translated; in language 9 the text that is the native one too, the
    // others (another text for the same id, an id of its own) kept.
    EXPECT_EQ(out.at({"String", "#7", 0}), restest::StringBlockData({{4, u"Hallo"}, {5, u"Auf Wiedersehen"}}));
    EXPECT_EQ(out.at({"String", "#7", 9}),
              restest::StringBlockData({{4, u"Hallo"}, {5, u"Bye"}, {6, u"Only in nine"}}));
    // Forms: the copy of the dictionary's form translated the same, the other form kept.
    const Bytes& neutral = out.at({"RCData", "TMAINFORM", 0});
    EXPECT_NE(neutral, in.at({"RCData", "TMAINFORM", 0}));
    EXPECT_NE(std::string(neutral.begin(), neutral.end()).find("Rechnungen"), std::string::npos);
    EXPECT_EQ(out.at({"RCData", "TMAINFORM", 0x0409}), neutral);
    EXPECT_EQ(out.at({"RCData", "TMAINFORM", 0x0407}), in.at({"RCData", "TMAINFORM", 0x0407}));
    // The numeric id as it was, under its id.
    ASSERT_EQ(out.count({"RCData", "#101", 0}), 1u);
    EXPECT_EQ(out.at({"RCData", "#101", 0}), in.at({"RCData", "#101", 0}));
    EXPECT_EQ(out.count({"RCData", "101", 0}), 0u);
    // Nothing of the program is missing, only the settings record added.
    for (const auto& [key, bytes] : in) EXPECT_EQ(out.count(key), 1u) << std::get<1>(key) << " " << std::get<2>(key);
    EXPECT_EQ(out.size(), in.size() + 1);
    EXPECT_EQ(out.count({"RCData", SLibSettingsName, 0}), 1u);
}

namespace {

// A program in the manner of the late-1990s compilers: its form's texts are 8-bit strings in
// code page 1250, none wide or UTF-8; no settings records.
Bytes EightBitProgram() {
    const std::string text =
        "object MainForm: TMainForm\r\n"
        "  Caption = 'Faktury'\r\n"
        "  HelpKeyword = 'Przegl\xB9"
        "d'\r\n"
        "  object SaveButton: TButton\r\n"
        "    Caption = 'Zapisz \xBF\xF3\xB3\xE6'\r\n"
        "  end\r\n"
        "  object StatusLabel: TLabel\r\n"
        "    Caption = 'Gotowe: \xB3\xB9ka'\r\n"
        "  end\r\n"
        "end\r\n";
    TResProcessor p;
    auto* rc = static_cast<TResRCData*>(p.AddBlock(std::make_unique<TResRCData>()));
    AddRC(rc, "TMAINFORM", restest::FormFromText(text, 0x0415));
    AddRC(rc, "DVCLAL", Bytes(16, 0xA2));
    p.FixedTimeStamp = 1;
    fw::TMemoryStream out;
    p.SaveToStream(out);
    return out.Bytes();
}

// Its Polish dictionary and a Russian translation of the captions given (empty: untranslated).
struct EightBitTranslation {
    TLangResource model;
    TLangFile russian;
    EightBitTranslation(const std::u16string& form, const std::u16string& save, const std::u16string& status) {
        TLangFileImage img;
        img.Header = Header(0x0415, "Polish", u"polski", true);
        TLFForm f;
        f.Name = "MainForm";
        f.Properties.push_back(Caption(1, u"Faktury"));
        f.Components.push_back({"SaveButton", 0, {Caption(2, u"Zapisz \u017C\u00F3\u0142\u0107")}});
        f.Components.push_back({"StatusLabel", 0, {Caption(3, u"Gotowe: \u0142\u0105ka")}});
        img.Forms.push_back(f);
        TLangFile native;
        LoadImage(img, native, model, -1);
        img.Header = Header(0x0419, "Russian", u"русский", false);
        // An item the translation lacks follows the native text.
        auto put = [](std::vector<TLFRecord>& props, const std::u16string& t) {
            if (t.empty())
                props.clear();
            else
                props[0].Value.Text = t;
        };
        put(img.Forms[0].Properties, form);
        put(img.Forms[0].Components[0].Properties, save);
        put(img.Forms[0].Components[1].Properties, status);
        LoadTranslation(img, russian, model);
    }
};

// (tag, bytes) of each string value of the module's form, by item.
std::map<std::string, std::pair<int, std::string>> FormStrings(const std::string& module) {
    TResProcessor m;
    m.LoadFromFile(module);
    const Bytes& data = static_cast<TResRCData*>(m.FindBlock(10))->FindByName("TMAINFORM")->Data.Bytes();
    std::map<std::string, std::pair<int, std::string>> out;
    fw::TFormReader r(data);
    r.ReadSignature();
    std::string object;
    // Two levels are enough here: the form's properties, then its childrens'.
    uint8_t flags = 0;
    int64_t pos = -1;
    r.ReadPrefix(flags, pos);
    r.ReadStr();
    std::string form = r.ReadStr();
    auto props = [&](const std::string& path) {
        while (!r.EndOfList()) {
            std::string name = r.ReadStr();
            const int tag = r.NextValue();
            if (tag == fw::vaString || tag == fw::vaLString)
                out[path + "." + name] = {tag, r.ReadAnsiString()};
            else if (tag == fw::vaWString || tag == fw::vaUTF8String)
                out[path + "." + name] = {tag, fw::Utf16ToUtf8(r.ReadWideString())};
            else
                r.SkipValue();
        }
        r.ReadListEnd();
    };
    props(form);
    while (!r.EndOfList()) {
        r.ReadPrefix(flags, pos);
        r.ReadStr();
        std::string child = r.ReadStr();
        props(form + "." + child);
        r.ReadListEnd();
    }
    return out;
}

}  // namespace

// The late-1990s form reader takes 8-bit strings only: a translation its language's code page
// holds is written 8-bit in that code page, the program's own 8-bit strings stay byte for byte,
// and no value is wide or UTF-8.
TEST(ResourceModule, EightBitEraProgramGetsEightBitStrings) {
    TempDir dir;
    const std::string src = dir.File("old.exe", EightBitProgram());
    EightBitTranslation t(u"\u0421\u0447\u0435\u0442\u0430", u"\u0421\u043E\u0445\u0440\u0430\u043D\u0438\u0442\u044C",
                          u"\u0413\u043E\u0442\u043E\u0432\u043E");
    const std::string out = (dir.path / "old.RUS").string();
    t.russian.SaveResourceModule(0, out, &t.model, src);
    const auto strings = FormStrings(out);
    using P = std::pair<int, std::string>;
    EXPECT_EQ(strings.at("MainForm.Caption"), (P{fw::vaString, "\xD1\xF7\xE5\xF2\xE0"}));
    EXPECT_EQ(strings.at("MainForm.SaveButton.Caption"), (P{fw::vaString, "\xD1\xEE\xF5\xF0\xE0\xED\xE8\xF2\xFC"}));
    EXPECT_EQ(strings.at("MainForm.StatusLabel.Caption"), (P{fw::vaString, "\xC3\xEE\xF2\xEE\xE2\xEE"}));
    EXPECT_EQ(strings.at("MainForm.HelpKeyword"), (P{fw::vaString,
                                                     "Przegl\xB9"
                                                     "d"}));
    EXPECT_EQ(strings.size(), 4u);
}

// A text the language's code page cannot hold, translated (Chinese in a Russian translation)
// or left in the native language (Polish letters): each one named with the code page, and no
// module written.
TEST(ResourceModule, EightBitEraProgramRefusesWhatItsReaderCannotRead) {
    TempDir dir;
    const std::string src = dir.File("old.exe", EightBitProgram());
    EightBitTranslation t(u"\u0421\u0447\u0435\u0442\u0430 \u6587\u4EF6",
                          u"\u0421\u043E\u0445\u0440\u0430\u043D\u0438\u0442\u044C", u"");
    const std::string out = (dir.path / "old.RUS").string();
    try {
        t.russian.SaveResourceModule(0, out, &t.model, src);
        FAIL() << "written";
    } catch (const ELFProcError& e) {
        const std::string tail = ": cannot be written in code page 1251 for this program's form reader\n";
        EXPECT_EQ(e.Message(),
                  "MainForm.Caption" + tail + "MainForm.StatusLabel.Caption" + tail +
                      "2 texts cannot be written for this program's form reader, 8-bit era (no mark of the Unicode "
                      "era): 8-bit strings only (its forms carry no wide or UTF-8 string); nothing written");
    }
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 1);
}
