#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <filesystem>

#include "framework/Classes.h"
#include "localizer/kutils/kcompress.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/LangWriter.h"

using namespace langres;
namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<uint8_t>;

TLFRecord Const(std::string name, uint32_t id, uint16_t resId, std::u16string text, int32_t rev = 0,
                uint16_t flags = 0) {
    TLFRecord r;
    r.Name = std::move(name);
    r.Id = id;
    r.ResId = resId;
    r.Value.Present = true;
    r.Value.Text = std::move(text);
    r.Revision = rev;
    r.Flags = flags;
    return r;
}

TLFRecord Str(std::string name, uint32_t id, std::u16string text, int32_t rev = 0, uint16_t flags = 0) {
    TLFRecord r = Const(std::move(name), id, 0, std::move(text), rev, flags);
    r.Kind = vkString;
    return r;
}

TLFRecord Int(std::string name, uint32_t id, int32_t v, int32_t rev = 0) {
    TLFRecord r = Str(std::move(name), id, u"", rev);
    r.Kind = vkInteger;
    r.Value.Int = v;
    return r;
}

TLFRecord Float(std::string name, uint32_t id, double v, int32_t rev = 0) {
    TLFRecord r = Str(std::move(name), id, u"", rev);
    r.Kind = vkFloat;
    r.Value.Float = v;
    return r;
}

TLFRecord Other(std::string name, uint32_t id, uint32_t kind, int32_t rev = 0) {
    TLFRecord r = Str(std::move(name), id, u"", rev);
    r.Kind = kind;
    r.Value.Present = false;
    return r;
}

TLFHeader Header(uint16_t langId, uint32_t revision, bool native) {
    TLFHeader h;
    h.LangId = langId;
    h.Revision = revision;
    h.IsNative = native ? 1 : 0;
    h.EnglishLangName = native ? "English" : "German";
    h.NativeLangName = native ? u"English" : u"Deutsch";
    return h;
}

// A small native dictionary: two units, one form with a component, one external group.
TLangFileImage NativeImage() {
    TLangFileImage img;
    img.Header = Header(0x0409, 20, true);
    img.Header.LastConstantId = 3;
    img.Header.LastPropertyId = 4;
    img.Header.LastExternalId = 1;
    img.Units.push_back(
        {"Main", 1, {Const("SHello", 1, 65001, u"Hello", 5), Const("STitle", 2, 65000, u"Title", -1, vfConfirmed)}});
    img.Units.push_back({"Tools", 0, {Const("SNew", 0, 65002, u"New", 7), Const("SOld", 0, 65003, u"Old", 7)}});
    TLFForm form{"MainForm", 2, {Str("Caption", 1, u"Main window", 3)}, {}};
    form.Components.push_back({"OkButton",
                               9,
                               {Str("Caption", 2, u"OK", -1), Int("Width", 3, 75, 2), Float("Ratio", 4, 1.5, 2),
                                Other("Anchors", 0, vkSet, 2)}});
    img.Forms.push_back(form);
    img.Groups.push_back({"Messages", 3, {Const("Bye", 1, 0, u"Goodbye", -1), Const("Hi", 0, 0, u"Hi", 4)}});
    return img;
}

void LoadNative(TLangResource& model, const Bytes& file, TLangFile* lf = nullptr) {
    TLangFile local;
    fw::TMemoryStream s(file);
    (lf ? *lf : local).LoadFromStream(s, &model, -1);
}

void LoadInto(TLangResource& model, int index, const Bytes& file, TLangFile* lf = nullptr) {
    TLangFile local;
    fw::TMemoryStream s(file);
    (lf ? *lf : local).LoadFromStream(s, &model, index);
}

TLResConstantItem* ConstantOf(TLangResource& m, const std::string& unit, const std::string& name) {
    int u = m.Units->IndexOf(unit);
    if (u < 0) return nullptr;
    return static_cast<TLResConstantItem*>(m.Units->Items(u)->Constants->ItemByName(name));
}

TLResPropertyItem* PropertyOf(TLangResource& m, const std::string& form, const std::string* comp,
                              const std::string& name) {
    int f = m.Forms->IndexOf(form);
    return f < 0 ? nullptr : m.Forms->Items(f)->FindProperty(comp, name);
}

TLResExternalItem* ExternalOf(TLangResource& m, const std::string& group, const std::string& name) {
    int g = m.ExtGroups->IndexOf(group);
    if (g < 0) return nullptr;
    return static_cast<TLResExternalItem*>(m.ExtGroups->Items(g)->Externals->ItemByName(name));
}

class TTempDir {
public:
    TTempDir() {
        static std::atomic<int> n{0};
        path_ = fs::temp_directory_path() / ("langres_test_" + std::to_string(n++) + "_" +
                                             std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
        fs::remove_all(path_);
        fs::create_directories(path_);
    }
    ~TTempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    std::string File(const std::string& name) const { return (path_ / name).string(); }
    std::string Write(const std::string& name, const Bytes& data) const {
        std::string f = File(name);
        fw::WriteFileAtomically(f, data.data(), data.size());
        return f;
    }

private:
    fs::path path_;
};

const std::string OkButton = "OkButton";

}  // namespace

TEST(LangFormat, BodyCounters) {
    auto enc = [](uint32_t n, uint16_t v) {
        Bytes out;
        WriteCounter(out, n, v);
        return out;
    };
    EXPECT_EQ(enc(127, 7), (Bytes{0x7F}));
    EXPECT_EQ(enc(128, 7), (Bytes{0x80, 0x01}));
    EXPECT_EQ(enc(154, 6), (Bytes{0x9A, 0x01}));
    EXPECT_EQ(enc(16383, 7), (Bytes{0xFF, 0x7F}));
    EXPECT_EQ(enc(16384, 7), (Bytes{0x80, 0x80, 0x01, 0x00}));
    EXPECT_EQ(enc(LangFileMaxCounter, 7), (Bytes{0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_THROW(enc(LangFileMaxCounter + 1, 7), ELFProcError);
    EXPECT_EQ(enc(127, 5), (Bytes{0x7F, 0x00}));
    EXPECT_EQ(enc(16384, 5), (Bytes{0x00, 0x40}));
    EXPECT_THROW(enc(65536, 5), ELFProcError);
    for (uint32_t n : {0u, 1u, 127u, 128u, 154u, 16383u, 16384u, 70000u, LangFileMaxCounter}) {
        Bytes b = enc(n, 7);
        fw::TByteReader r(b);
        EXPECT_EQ(ReadCounter(r, 7), n);
        EXPECT_TRUE(r.AtEnd());
    }

    // The same counters inside a file: a constant's text of 127, 128 and 16384 characters.
    for (size_t len : {size_t{127}, size_t{128}, size_t{16384}}) {
        TLangFileImage img;
        img.Header = Header(9, 1, true);
        img.Units.push_back({"U", 0, {Const("C", 1, 1, std::u16string(len, u'x'))}});
        Bytes file = WriteLangFile(img, 7, false);
        // header (43 + 14) + unit count 2 + name 2 + flags 2 + count 2 + name 2 + flags 2 + resid 2 + id 4
        const size_t at = 57 + 2 + 2 + 2 + 2 + 2 + 2 + 2 + 4;
        Bytes counter(file.begin() + static_cast<long>(at),
                      file.begin() + static_cast<long>(at + enc(static_cast<uint32_t>(len), 7).size()));
        EXPECT_EQ(counter, enc(static_cast<uint32_t>(len), 7)) << len;
        TLangResource m;
        LoadNative(m, file);
        EXPECT_EQ(ConstantOf(m, "U", "C")->NativeValue()->Text.size(), len);
    }
}

TEST(LangFormat, HeaderOfTheEmbeddedNativeFile) {
    Bytes expected = {0x4C, 0x46, 0x07, 0x00, 0x12, 0x00, 0x00, 0x00, 0x00,
                      0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, 0x07, 0x00};
    for (char c : std::string("English")) expected.push_back(static_cast<uint8_t>(c));
    expected.insert(expected.end(), {0x07, 0x00});
    for (char c : std::string("English")) expected.insert(expected.end(), {static_cast<uint8_t>(c), 0x00});
    expected.insert(expected.end(),
                    {0x01, 0x00, 0x00, 0x00, 0x35, 0x04, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00});
    ASSERT_EQ(expected.size(), 57u);

    TLangFileImage img;
    img.Header.Version = 7;
    img.Header.Revision = 18;
    img.Header.LangId = 9;
    img.Header.EnglishLangName = "English";
    img.Header.NativeLangName = u"English";
    img.Header.IsNative = 1;
    img.Header.LastConstantId = 1077;
    std::vector<TLFRecord> constants{Const("S_AppTitle", 436, 65229, u"$appname2 Starter", 14)};
    for (int i = 1; i < 15; ++i)
        constants.push_back(
            Const("S_Text" + std::to_string(i), 436 + i, static_cast<uint16_t>(65200 + i), u"text", 14));
    img.Units.push_back({"brmkVTPStart", 1, constants});
    Bytes file = WriteLangFile(img, 7, false);
    ASSERT_GE(file.size(), 57u);
    EXPECT_EQ(Bytes(file.begin(), file.begin() + 57), expected);
    EXPECT_EQ(file[file.size() - 4], 0);  // form count and group count close the image
    EXPECT_EQ(file.back(), 0);

    TLangFile lf;
    fw::TMemoryStream s(file);
    EXPECT_EQ(lf.ReadHeader(s, false), 57);
    EXPECT_EQ(lf.Version, 7);
    EXPECT_EQ(lf.Revision, 18u);
    EXPECT_EQ(lf.Build, 0u);
    EXPECT_EQ(lf.LangId, 9u);
    EXPECT_EQ(lf.EnglishLangName, "English");
    EXPECT_EQ(lf.NativeLangName, u"English");
    EXPECT_TRUE(lf.IsNative);
    EXPECT_EQ(lf.Options, 0);
    EXPECT_FALSE(lf.HasOption(loKeepCharset));
    EXPECT_EQ(lf.LastConstantId, 1077u);

    TLangResource m;
    LoadNative(m, file);
    EXPECT_EQ(m.NativeLangId, 9);
    ASSERT_EQ(m.Units->Count(), 1);
    TLResUnitItem* unit = m.Units->Items(0);
    EXPECT_EQ(unit->Name, "brmkVTPStart");
    EXPECT_EQ(unit->Flags, 1);
    EXPECT_EQ(unit->Constants->Count(), 15);
    TLResConstantItem* title = ConstantOf(m, "brmkVTPStart", "S_AppTitle");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->ResId, 65229u);
    EXPECT_EQ(title->Id, 436u);
    EXPECT_EQ(title->NativeValue()->Text, u"$appname2 Starter");
    EXPECT_EQ(title->NativeValue()->Revision, 14);
    EXPECT_EQ(title->NativeValue()->LangId, 9);
    EXPECT_EQ(title->NativeValue()->Stamp, 0u);
    EXPECT_EQ(m.Forms->Count(), 0);

    // The same image as an LZK block: the header is read from the decompressed bytes.
    Bytes packed = WriteLangFile(img, 7, true);
    ASSERT_EQ(std::memcmp(packed.data(), "LZK00", 5), 0);
    fw::TMemoryStream ps(packed);
    TLangFile lf2;
    EXPECT_EQ(lf2.ReadHeader(ps, false), 57);
    EXPECT_EQ(lf2.LastConstantId, 1077u);
    TLangResource m2;
    LoadNative(m2, packed);
    EXPECT_EQ(ConstantOf(m2, "brmkVTPStart", "S_AppTitle")->NativeValue()->Text, u"$appname2 Starter");
}

TEST(LangFormat, VersionsDifferInTheirFields) {
    TLangFileImage empty;
    empty.Header = Header(9, 1, true);
    empty.Header.EnglishLangName.clear();
    empty.Header.NativeLangName.clear();
    // header sizes of versions 1..7 with empty names, plus the body counts
    const size_t headers[] = {24, 26, 28, 28, 32, 32, 36};
    for (uint16_t v = 1; v <= 7; ++v)
        EXPECT_EQ(WriteLangFile(empty, v, false).size(), headers[v - 1] + (v == 7 ? 6 : 4)) << v;

    TLangFileImage img = NativeImage();
    img.Header.Build = 77;
    img.Header.Word = 0x1234;
    img.Header.Options = loKeepCharset;
    for (uint16_t v = 1; v <= 7; ++v) {
        SCOPED_TRACE(v);
        Bytes file = WriteLangFile(img, v, false);
        TLangFile lf;
        TLangResource m;
        LoadNative(m, file, &lf);
        EXPECT_EQ(lf.Version, v);
        EXPECT_EQ(lf.Build, v >= 5 ? 77u : 0u);
        EXPECT_EQ(lf.Word, v >= 3 ? 0x1234 : 0);
        EXPECT_EQ(lf.HasOption(loKeepCharset), v >= 2);
        TLResPropertyItem* width = PropertyOf(m, "MainForm", &OkButton, "Width");
        TLResPropertyItem* ratio = PropertyOf(m, "MainForm", &OkButton, "Ratio");
        ASSERT_NE(width, nullptr);
        ASSERT_NE(ratio, nullptr);
        // Numbers are stored from version 4; before that the record goes on with the revision.
        EXPECT_EQ(width->NativeValue()->Text, v >= 4 ? u"75" : u"");
        EXPECT_EQ(width->NativeValue()->Revision, 2);
        EXPECT_EQ(ratio->NativeValue()->Text, v >= 4 ? AsciiToWide(std::string("1") + DecimalSeparator() + "5") : u"");
        EXPECT_EQ(PropertyOf(m, "MainForm", &OkButton, "Caption")->NativeValue()->Text, u"OK");
        EXPECT_EQ(m.Units->Items(0)->Flags, v >= 2 ? 1 : 0);
        EXPECT_EQ(ConstantOf(m, "Main", "SHello")->NativeValue()->Text, u"Hello");
        // External groups and their numbering state exist in version 7 only.
        EXPECT_EQ(m.ExtGroups->Count(), v == 7 ? 1 : 0);
        EXPECT_EQ(lf.LastExternalId, v == 7 ? 2u : 0u);
    }

    // Version 5: every body string has a u16 counter.
    TLangFileImage one;
    one.Header = Header(9, 1, true);
    one.Header.EnglishLangName = "E";
    one.Header.NativeLangName = u"E";
    one.Units.push_back({"U", 0, {}});
    Bytes v5 = WriteLangFile(one, 5, false);
    Bytes v6 = WriteLangFile(one, 6, false);
    EXPECT_EQ(v5.size(), v6.size() + 1);
    const size_t body5 = v5.size() - 2 - 2 - 2 - 1 - 2;  // forms, constants, flags, name, counter
    EXPECT_EQ(v5[body5], 1);
    EXPECT_EQ(v5[body5 + 1], 0);
}

TEST(LangFormat, WriterRoundTripsAndRefusesWhatDoesNotFit) {
    TLangFileImage img = NativeImage();
    img.Trailing = {1, 2, 3};
    img.Header.Word = 7;
    Bytes file = WriteLangFile(img, 7, false);
    TLangFileImage back = ParseLangFileImage(file.data(), file.size());
    EXPECT_EQ(WriteLangFile(back, 7, false), file);
    EXPECT_EQ(back.Trailing, (Bytes{1, 2, 3}));
    EXPECT_EQ(back.Forms.at(0).Components.at(0).Flags, 9);
    EXPECT_EQ(back.Forms.at(0).Components.at(0).Properties.at(2).Value.Float, 1.5);
    EXPECT_EQ(back.Groups.at(0).Flags, 3);

    EXPECT_THROW(WriteLangFile(img, 0, false), ELFProcError);
    EXPECT_THROW(WriteLangFile(img, 8, false), ELFProcError);
    TLangFileImage big;
    big.Units.push_back({"U", 0, std::vector<TLFRecord>(65536, Const("C", 1, 1, u""))});
    EXPECT_THROW(WriteLangFile(big, 7, false), ELFProcError);
    TLangFileImage longName;
    longName.Units.push_back({std::string(70000, 'n'), 0, {}});
    EXPECT_THROW(WriteLangFile(longName, 5, false), ELFProcError);
    EXPECT_NO_THROW(WriteLangFile(longName, 6, false));
}

// What does not fit is refused with the path of the item, so the one at fault can be found.
TEST(LangFormat, WhatDoesNotFitIsNamedByItsPath) {
    auto messageOf = [](const TLangFileImage& img, uint16_t version) {
        try {
            WriteLangFile(img, version, false);
        } catch (const ELFProcError& e) {
            return e.Message();
        }
        return std::string("written");
    };
    const std::string longName(70000, 'n');
    const std::u16string longText(70000, u'x');
    TLangFileImage img = NativeImage();
    img.Forms[0].Components[0].Properties[0].Name = longName;
    EXPECT_EQ(messageOf(img, 5).rfind("MainForm.OkButton." + longName + ": ", 0), 0u);
    img = NativeImage();
    img.Forms[0].Components[0].Properties[0].Value.Text = longText;
    EXPECT_EQ(messageOf(img, 5).rfind("MainForm.OkButton.Caption: ", 0), 0u);
    img = NativeImage();
    img.Forms[0].Properties[0].Value.Text = longText;
    EXPECT_EQ(messageOf(img, 5).rfind("MainForm.Caption: ", 0), 0u);
    img = NativeImage();
    img.Forms[0].Components[0].Name = longName;
    EXPECT_EQ(messageOf(img, 5).rfind("MainForm." + longName + ": ", 0), 0u);
    img = NativeImage();
    img.Units[1].Constants[1].Value.Text = longText;
    EXPECT_EQ(messageOf(img, 5).rfind("Tools.SOld: ", 0), 0u);
    img = NativeImage();
    img.Units[0].Constants.resize(65536, img.Units[0].Constants[0]);
    EXPECT_EQ(messageOf(img, 7), "Main: Too many constants for a language file (65536, at most 65535)");
    // Externals are written by version 7 only, where texts may be far longer.
    img = NativeImage();
    img.Groups[0].Externals.resize(65536, img.Groups[0].Externals[0]);
    EXPECT_EQ(messageOf(img, 7), "Messages: Too many externals for a language file (65536, at most 65535)");
    EXPECT_EQ(messageOf(NativeImage(), 5), "written");
}

TEST(LangFormat, FloatTexts) {
    const std::string sep(1, DecimalSeparator());
    EXPECT_EQ(FloatToText(1.5), "1" + sep + "5");
    EXPECT_EQ(FloatToText(-0.25), "-0" + sep + "25");
    EXPECT_EQ(FloatToText(100), "100");
    EXPECT_EQ(FloatToText(0), "0");
    EXPECT_EQ(FloatToText(1e20), "1E20");
    EXPECT_EQ(FloatToText(1e15), "1E15");
    EXPECT_EQ(FloatToText(123456789012345.0), "123456789012345");
    EXPECT_EQ(FloatToText(0.00001), "0" + sep + "00001");
    EXPECT_EQ(FloatToText(0.000001), "1E-6");
    EXPECT_EQ(FloatToText(0.1 + 0.2), "0" + sep + "3");  // 15 significant digits
    EXPECT_EQ(FloatToText(1.0 / 3), "0" + sep + "333333333333333");
    double d = 0;
    EXPECT_TRUE(TextToFloat(" 2" + sep + "5 ", d));
    EXPECT_EQ(d, 2.5);
    EXPECT_TRUE(TextToFloat("1E-6", d));
    EXPECT_EQ(d, 0.000001);
    EXPECT_FALSE(TextToFloat("2x", d));
    EXPECT_FALSE(TextToFloat("", d));
}

TEST(LangFile, NativeLoadRevisionsAndNumbering) {
    TLangFile lf;
    TLangResource m;
    m.AddLanguage(0, 0x0407);  // languages stay; items are replaced
    LoadNative(m, WriteLangFile(NativeImage(), 7, false), &lf);
    EXPECT_EQ(m.NativeLangId, 0x0409);
    EXPECT_EQ(m.LangIds(0), 0x0409);
    EXPECT_EQ(m.LanguageCount(), 2);
    // A native record of revision -1 takes the file's revision, except for externals.
    EXPECT_EQ(ConstantOf(m, "Main", "STitle")->NativeValue()->Revision, 20);
    EXPECT_EQ(PropertyOf(m, "MainForm", &OkButton, "Caption")->NativeValue()->Revision, 20);
    EXPECT_EQ(ExternalOf(m, "Messages", "Bye")->NativeValue()->Revision, -1);
    EXPECT_EQ(ConstantOf(m, "Main", "STitle")->NativeValue()->Flags, vfConfirmed);
    // Items with id 0 are numbered after the highest id, in id-sorted list order.
    EXPECT_EQ(ConstantOf(m, "Tools", "SNew")->Id, 4u);
    EXPECT_EQ(ConstantOf(m, "Tools", "SOld")->Id, 5u);
    EXPECT_EQ(lf.LastConstantId, 5u);
    EXPECT_EQ(PropertyOf(m, "MainForm", &OkButton, "Anchors")->Id, 5u);
    EXPECT_EQ(lf.LastPropertyId, 5u);
    EXPECT_EQ(ExternalOf(m, "Messages", "Hi")->Id, 2u);
    EXPECT_EQ(lf.LastExternalId, 2u);
    EXPECT_EQ(m.Forms->Items(0)->Flags, 2);
    // Every item has a value per language; the further one is empty, revision 0.
    TLResConstantItem* hello = ConstantOf(m, "Main", "SHello");
    ASSERT_EQ(hello->Values->Count(), 2);
    EXPECT_EQ(hello->Values->Values(1)->Text, u"");
    EXPECT_EQ(hello->Values->Values(1)->LangId, 0x0407);

    // The highest id seen raises the header's numbering state.
    TLangFileImage img = NativeImage();
    img.Units[0].Constants[0].Id = 50;
    TLangFile lf2;
    TLangResource m2;
    LoadNative(m2, WriteLangFile(img, 7, false), &lf2);
    EXPECT_EQ(ConstantOf(m2, "Tools", "SNew")->Id, 51u);
    EXPECT_EQ(lf2.LastConstantId, 52u);
}

TEST(LangFile, TranslationIntoAnAddedLanguage) {
    TLangResource m;
    LoadNative(m, WriteLangFile(NativeImage(), 7, false));
    int de = m.AddLanguage(0, 0x0407);
    ASSERT_EQ(de, 1);

    TLangFileImage tr;
    tr.Header = Header(0x0407, 21, false);
    tr.Units.push_back({"Main",
                        0,
                        {Const("SHello", 1, 0, u"Hallo", 6, vfConfirmed),     // newer than native: keeps vfConfirmed
                         Const("STitle", 2, 0, u"ignored", -1, vfConfirmed),  // untranslated: text stays
                         Const("SGone", 99, 0, u"nobody", 6)}});              // not in the model
    tr.Units.push_back(
        {"Tools", 0, {Const("SNew", 4, 0, u"Neu", 3, vfConfirmed | vfWide)}});  // older: loses vfConfirmed
    TLFForm form{"MainForm", 0, {Str("Caption", 1, u"Hauptfenster", 5)}, {}};
    form.Components.push_back(
        {"OkButton", 0, {Str("Caption", 2, u"Ja", -1), Int("Width", 3, 90, 4), Float("Ratio", 4, 2.25, 4)}});
    tr.Forms.push_back(form);
    tr.Groups.push_back({"Messages", 0, {Const("Bye", 1, 0, u"Tsch\u00fcss", 8), Const("Hi", 2, 0, u"x", -1)}});

    TLangFile lf;
    LoadInto(m, de, WriteLangFile(tr, 7, false), &lf);
    EXPECT_FALSE(lf.IsNative);
    EXPECT_EQ(lf.LangId, 0x0407u);

    TLResValue* hello = ConstantOf(m, "Main", "SHello")->Values->Values(de);
    EXPECT_EQ(hello->Text, u"Hallo");
    EXPECT_EQ(hello->Revision, 6);
    EXPECT_EQ(hello->LangId, 0x0407);
    EXPECT_TRUE(hello->HasFlags(vfConfirmed));
    TLResValue* title = ConstantOf(m, "Main", "STitle")->Values->Values(de);
    EXPECT_EQ(title->Text, u"Title");  // as AddLanguage copied it
    EXPECT_EQ(title->Revision, -1);
    EXPECT_EQ(title->Flags, 0);  // native revision 20 is higher: vfConfirmed cleared
    TLResValue* neu = ConstantOf(m, "Tools", "SNew")->Values->Values(de);
    EXPECT_EQ(neu->Text, u"Neu");
    EXPECT_EQ(neu->Flags, vfWide);
    EXPECT_EQ(PropertyOf(m, "MainForm", nullptr, "Caption")->Values->Values(de)->Text, u"Hauptfenster");
    TLResValue* ja = PropertyOf(m, "MainForm", &OkButton, "Caption")->Values->Values(de);
    EXPECT_EQ(ja->Text, u"OK");
    EXPECT_EQ(ja->Revision, -1);
    EXPECT_EQ(PropertyOf(m, "MainForm", &OkButton, "Width")->Values->Values(de)->Text, u"90");
    EXPECT_EQ(PropertyOf(m, "MainForm", &OkButton, "Ratio")->Values->Values(de)->Text,
              AsciiToWide(std::string("2") + DecimalSeparator() + "25"));
    EXPECT_EQ(ExternalOf(m, "Messages", "Bye")->Values->Values(de)->Text, u"Tsch\u00fcss");
    TLResValue* hi = ExternalOf(m, "Messages", "Hi")->Values->Values(de);
    EXPECT_EQ(hi->Text, u"Hi");
    EXPECT_EQ(hi->Revision, -1);
    // Native values are untouched, nothing was created, the highest id seen counts.
    EXPECT_EQ(ConstantOf(m, "Main", "SHello")->NativeValue()->Text, u"Hello");
    EXPECT_EQ(ConstantOf(m, "Main", "SGone"), nullptr);
    EXPECT_EQ(m.Units->Items(0)->Constants->Count(), 2);
    EXPECT_EQ(lf.LastConstantId, 99u);

    // Checks before anything is read.
    try {
        LoadInto(m, 2, WriteLangFile(tr, 7, false));
        FAIL();
    } catch (const ELFProcError& e) {
        EXPECT_EQ(e.Message(), "Invalid index");
    }
    try {
        TLangFile f;
        fw::TMemoryStream s;
        f.LoadFromStream(s, nullptr, 0);
        FAIL();
    } catch (const ELFProcError& e) {
        EXPECT_EQ(e.Message(), "Invalid LangResources");
    }
}

TEST(LangFile, KindMismatchSkipsExactlyTheRecord) {
    TLangResource m;
    LoadNative(m, WriteLangFile(NativeImage(), 7, false));
    int de = m.AddLanguage(0, 0x0407);
    for (uint16_t v : {uint16_t{3}, uint16_t{5}, uint16_t{7}}) {
        SCOPED_TRACE(v);
        TLangFileImage tr;
        tr.Header = Header(0x0407, 21, false);
        TLFForm form{"MainForm", 0, {}, {}};
        form.Components.push_back({"OkButton",
                                   0,
                                   {
                                       Float("Caption", 2, 3.5, 4),       // id of a string property, kind float
                                       Str("Width", 3, u"wide", 4),       // id of an integer property, kind string
                                       Int("Anything", 77, 5, 4),         // unknown id
                                       Other("Anchors", 5, vkSet, 4),     // kind matches, no value stored
                                       Str("Caption", 1, u"Fenster", 4),  // the form's caption, read after the skips
                                   }});
        tr.Forms.push_back(form);
        LoadInto(m, de, WriteLangFile(tr, v, false));
        EXPECT_EQ(PropertyOf(m, "MainForm", &OkButton, "Caption")->Values->Values(de)->Text, u"OK");
        EXPECT_EQ(PropertyOf(m, "MainForm", &OkButton, "Width")->Values->Values(de)->Text, u"75");
        EXPECT_EQ(PropertyOf(m, "MainForm", &OkButton, "Anchors")->Values->Values(de)->Revision, 4);
        EXPECT_EQ(PropertyOf(m, "MainForm", nullptr, "Caption")->Values->Values(de)->Text, u"Fenster");
    }
}

TEST(LangFile, NativeRecordsAreReadByTheirOwnKind) {
    // The same property twice with different kinds: the second record's value is read in its
    // own encoding, so the records after it are read correctly.
    TLangFileImage img;
    img.Header = Header(9, 1, true);
    img.Forms.push_back(
        {"F", 0, {Str("Caption", 1, u"one", 1), Int("caption", 2, 0x00410041, 1), Str("Hint", 3, u"tip", 1)}, {}});
    TLangResource m;
    LoadNative(m, WriteLangFile(img, 7, false));
    TLResPropertyItem* caption = PropertyOf(m, "F", nullptr, "Caption");
    ASSERT_NE(caption, nullptr);
    EXPECT_EQ(caption->Kind(), vkString);
    EXPECT_EQ(caption->NativeValue()->Text, AsciiToWide(std::to_string(0x00410041)));
    ASSERT_NE(PropertyOf(m, "F", nullptr, "Hint"), nullptr);
    EXPECT_EQ(PropertyOf(m, "F", nullptr, "Hint")->NativeValue()->Text, u"tip");
    EXPECT_EQ(m.Forms->Items(0)->Properties->Count(), 2);
}

// A native file need not list its items in name order: items come out sorted by name, a name
// listed again (in any case) is the same item (first id and ResId kept, the later record's value
// and flags), items without ids are numbered after the highest, wide and 8-bit texts stay as read.
TEST(LangFile, NativeItemsInAnyOrderAndListedTwice) {
    TLangFileImage img;
    img.Header = Header(0x0409, 20, true);
    img.Header.LastConstantId = 2;
    img.Units.push_back({"Zeta",
                         1,
                         {Const("SZulu_Long_Name", 5, 100, u"z"), Const("SAlpha_Long_Name", 0, 101, u"\u0416\u4E2D", 3),
                          Const("sZULU_long_name", 9, 102, u"again", 4, vfWide), Const("SMiddle", 0, 103, u"m")}});
    img.Units.push_back({"alpha", 2, {Const("S\xC4rger", 3, 104, u"\u00c4"), Const("S\xE4rger", 4, 105, u"\u00e4")}});
    img.Units.push_back({"ZETA", 7, {Const("SAlpha_Long_NamE", 6, 106, u"later")}});
    TLFForm form{"Form", 0, {Str("CaptionLong_B", 2, u"b"), Str("CaptionLong_A", 1, u"a")}, {}};
    form.Components.push_back({"Zbutton", 0, {Str("Caption", 4, u"zb")}});
    form.Components.push_back({"Abutton", 0, {Str("Caption", 0, u"ab"), Str("Caption", 0, u"ab2")}});
    form.Components.push_back({"ZBUTTON", 0, {Str("Hint", 3, u"zh")}});
    img.Forms.push_back(form);
    img.Groups.push_back({"G", 0, {Const("Y", 0, 0, u"y"), Const("X", 7, 0, u"x"), Const("y", 2, 0, u"y2")}});

    TLangFile lf;
    TLangResource m;
    LoadNative(m, WriteLangFile(img, 7, false), &lf);

    auto names = [](const TLResNamedItemList& list) {
        std::vector<std::string> r;
        for (int i = 0; i < list.Count(); ++i) r.push_back(list.Items(i)->Name);
        return r;
    };
    EXPECT_EQ(names(*m.Units), (std::vector<std::string>{"alpha", "Zeta"}));
    EXPECT_EQ(m.Units->Items(1)->Flags, 7);  // the later record of the unit
    TLResConstantList* zeta = m.Units->Items(1)->Constants;
    EXPECT_EQ(names(*zeta), (std::vector<std::string>{"SAlpha_Long_Name", "SMiddle", "SZulu_Long_Name"}));
    TLResConstantItem* zulu = ConstantOf(m, "ZETA", "szulu_LONG_name");
    ASSERT_NE(zulu, nullptr);
    EXPECT_EQ(zulu->Id, 5u);
    EXPECT_EQ(zulu->ResId, 100u);
    EXPECT_EQ(zulu->NativeValue()->Text, u"again");
    EXPECT_EQ(zulu->NativeValue()->Flags, vfWide);
    EXPECT_EQ(zulu->NativeValue()->Revision, 4);
    TLResConstantItem* alpha = ConstantOf(m, "Zeta", "SAlpha_Long_Name");
    EXPECT_EQ(alpha->NativeValue()->Text, u"later");
    EXPECT_EQ(alpha->ResId, 101u);
    // Unnumbered: SAlpha (id 0, then listed again with 6, still 0 in the model) and SMiddle,
    // after the highest id seen (9), in id-sorted list order.
    EXPECT_EQ(alpha->Id, 10u);
    EXPECT_EQ(ConstantOf(m, "Zeta", "SMiddle")->Id, 11u);
    EXPECT_EQ(lf.LastConstantId, 11u);
    EXPECT_EQ(m.Units->Items(0)->Constants->Count(), 2);  // 0xC4 and 0xE4 are not folded
    EXPECT_EQ(ConstantOf(m, "ALPHA", "S\xE4rger")->NativeValue()->Text, u"\u00e4");
    EXPECT_EQ(ConstantOf(m, "alpha", "S\xC4rger")->NativeValue()->Text, u"\u00c4");

    TLResFormItem* f = m.Forms->Items(0);
    EXPECT_EQ(names(*f->Properties), (std::vector<std::string>{"CaptionLong_A", "CaptionLong_B"}));
    EXPECT_EQ(names(*f->Components), (std::vector<std::string>{"Abutton", "Zbutton"}));
    const std::string zb = "zBUTTON", ab = "ABUTTON";
    EXPECT_EQ(PropertyOf(m, "Form", &zb, "Hint")->NativeValue()->Text, u"zh");
    EXPECT_EQ(PropertyOf(m, "Form", &zb, "caption")->Id, 4u);
    TLResPropertyItem* abCaption = PropertyOf(m, "Form", &ab, "Caption");
    EXPECT_EQ(abCaption->NativeValue()->Text, u"ab2");
    EXPECT_EQ(f->Components->Items(0)->Properties->Count(), 1);
    EXPECT_EQ(abCaption->Id, 5u);  // after the highest property id, 4
    EXPECT_EQ(lf.LastPropertyId, 5u);

    TLResExternalList* g = m.ExtGroups->Items(0)->Externals;
    EXPECT_EQ(names(*g), (std::vector<std::string>{"X", "Y"}));
    EXPECT_EQ(ExternalOf(m, "G", "Y")->NativeValue()->Text, u"y2");
    EXPECT_EQ(ExternalOf(m, "G", "Y")->Id, 8u);  // listed first without an id
    EXPECT_EQ(lf.LastExternalId, 8u);
}

TEST(LangFile, OpeningFiles) {
    TTempDir dir;
    TLangFile missing(dir.File("none.lng"));
    EXPECT_EQ(missing.LangId, 0u);
    EXPECT_EQ(missing.Version, 7);
    EXPECT_EQ(missing.FileName, dir.File("none.lng"));

    auto headerOnly = [](uint16_t sig, uint16_t version) {
        Bytes b{static_cast<uint8_t>(sig), static_cast<uint8_t>(sig >> 8), static_cast<uint8_t>(version),
                static_cast<uint8_t>(version >> 8)};
        b.resize(64, 0);
        return b;
    };
    auto messageOf = [&](const Bytes& data) {
        try {
            TLangFile f(dir.Write("bad.lng", data));
            return std::string("no error");
        } catch (const ELFProcError& e) {
            return e.Message();
        }
    };
    EXPECT_EQ(messageOf(headerOnly(0x464C, 8)),
              "The language file can not be read. You need to download the latest Ravirive Zovivuz");
    EXPECT_EQ(messageOf(headerOnly(0x464C, 0)), "Invalid file format");
    EXPECT_EQ(messageOf(headerOnly(0x4C46, 7)), "Invalid file format");

    TLangFileImage img = NativeImage();
    std::string plain = dir.Write("plain.lng", WriteLangFile(img, 7, false));
    TLangFile lf(plain);
    EXPECT_EQ(lf.LangId, 0x0409u);
    EXPECT_EQ(lf.Revision, 20u);
    TLangResource m;
    lf.LoadFromFile(&m, -1);
    EXPECT_EQ(ConstantOf(m, "Main", "SHello")->NativeValue()->Text, u"Hello");

    // A compressed file whose header is longer than its first 1024 bytes decompress to.
    img.Header.EnglishLangName = std::string(3000, 'E');
    img.Header.NativeLangName.clear();
    for (int i = 0; i < 3000; ++i) img.Header.NativeLangName += static_cast<char16_t>(0x4E00 + (i * 7919) % 4093);
    std::string packed = dir.Write("packed.lng", WriteLangFile(img, 7, true));
    ASSERT_GT(fs::file_size(packed), 1024u);
    TLangFile lp(packed);
    EXPECT_EQ(lp.EnglishLangName, img.Header.EnglishLangName);
    EXPECT_EQ(lp.NativeLangName, img.Header.NativeLangName);
    EXPECT_EQ(lp.LastPropertyId, 4u);

    // LoadFromFile keeps the header read when the file was opened ...
    std::string later = dir.File("later.lng");
    TLangFile opened(later);  // not there yet: defaults
    TLangFileImage v3 = NativeImage();
    fw::WriteFileAtomically(later, WriteLangFile(v3, 3, false).data(), WriteLangFile(v3, 3, false).size());
    TLangResource m3;
    opened.LoadFromFile(&m3, -1);
    EXPECT_EQ(opened.Version, 7);
    EXPECT_EQ(opened.LangId, 0u);
    EXPECT_EQ(m3.NativeLangId, 0);
    // ... but reads the body in the layout of the file's own version.
    EXPECT_EQ(ConstantOf(m3, "Tools", "SOld")->NativeValue()->Text, u"Old");
    EXPECT_EQ(PropertyOf(m3, "MainForm", &OkButton, "Caption")->NativeValue()->Text, u"OK");

    // A file that can not be read leaves the model as it was.
    TLangFile noFile;
    EXPECT_THROW(noFile.LoadFromFile(&m, -1), fw::EFOpenError);
    EXPECT_EQ(ConstantOf(m, "Main", "SHello")->NativeValue()->Text, u"Hello");
}

TEST(LangFile, TruncatedAndDamagedFilesFailCleanly) {
    TTempDir dir;
    Bytes file = WriteLangFile(NativeImage(), 7, false);
    for (size_t n = 0; n < file.size(); ++n) {
        Bytes cut(file.begin(), file.begin() + static_cast<long>(n));
        TLangResource m;
        TLangFile lf;
        fw::TMemoryStream s(cut);
        try {
            lf.LoadFromStream(s, &m, -1);
            ADD_FAILURE() << "no error at length " << n;
        } catch (const fw::EReadError& e) {
            EXPECT_NE(e.Message().find("unexpected end of data at offset"), std::string::npos) << e.Message();
        }
        // What was read so far stays usable.
        TLinearConstantList flat;
        m.Units->CollectConstants(flat, true);
        for (auto* c : flat.List) EXPECT_EQ(c->Values->Count(), m.LanguageCount());
    }
    // A file name is named in the message.
    std::string name = dir.Write("cut.lng", Bytes(file.begin(), file.begin() + 100));
    TLangFile lf(name);
    TLangResource m;
    try {
        lf.LoadFromFile(&m, -1);
        FAIL();
    } catch (const fw::EReadError& e) {
        EXPECT_NE(e.Message().find(name), std::string::npos) << e.Message();
        EXPECT_NE(e.Message().find("unexpected end of data at offset"), std::string::npos) << e.Message();
    }
    try {
        TLangFile h(dir.Write("short.lng", Bytes(file.begin(), file.begin() + 30)));
        FAIL();
    } catch (const fw::EReadError& e) {
        EXPECT_NE(e.Message().find("short.lng"), std::string::npos) << e.Message();
    }

    // Counts and lengths beyond the data: an error, not an allocation.
    TLangFileImage img;
    img.Header = Header(9, 1, true);
    img.Units.push_back({"U", 0, {Const("C", 1, 1, u"abc")}});
    Bytes good = WriteLangFile(img, 7, false);
    const size_t textCounter = 57 - 14 + 14 + 2 + 2 + 2 + 2 + 2 + 2 + 2 + 4;  // see BodyCounters
    Bytes huge = good;
    ASSERT_EQ(huge[textCounter], 3);
    huge.erase(huge.begin() + static_cast<long>(textCounter));
    huge.insert(huge.begin() + static_cast<long>(textCounter), {0xFF, 0xFF, 0xFF, 0xFF});
    TLangResource hm;
    EXPECT_THROW(LoadNative(hm, huge), fw::EReadError);
    Bytes manyUnits = good;
    manyUnits[57 - 14 + 14] = 0xFF;  // unit count
    manyUnits[57 - 14 + 15] = 0xFF;
    TLangResource mu;
    EXPECT_THROW(LoadNative(mu, manyUnits), fw::EReadError);
    EXPECT_EQ(mu.Units->Count(), 2);  // the first unit and the one whose name was read
    EXPECT_EQ(ConstantOf(mu, "U", "C")->NativeValue()->Text, u"abc");

    // A damaged compressed block.
    Bytes packed = WriteLangFile(img, 7, true);
    Bytes bad(packed.begin(), packed.begin() + 7);
    TLangResource bm;
    EXPECT_THROW(LoadNative(bm, bad), fw::Exception);
}

#ifdef _WIN32
// Windows' own view of the file: the declarations come last so that they touch nothing above.
#include <windows.h>

// While a language file is read nobody may write it: a file that another program holds open for
// writing (a translator's editor saving it) is not read half-way, and is read again once it is
// closed. Readers do not exclude each other.
TEST(LangFileWin, FilesOpenForWritingElsewhereAreNotRead) {
    TTempDir dir;
    std::string name = dir.Write("busy.lng", WriteLangFile(NativeImage(), 7, false));
    HANDLE writer = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    std::string error = "(no error)";
    try {
        TLangFile f(name);
    } catch (const fw::Exception& e) {
        error = e.Message();
    }
    EXPECT_NE(error.find("\"" + name + "\""), std::string::npos) << error;
    CloseHandle(writer);

    TLangFile f(name);
    EXPECT_EQ(f.LangId, 0x0409u);
    HANDLE reader = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(reader, INVALID_HANDLE_VALUE);
    TLangResource m;
    EXPECT_NO_THROW(f.LoadFromFile(&m, -1));
    // ... but loading while someone writes fails and leaves the model as it was.
    HANDLE writer2 = CreateFileA(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer2, INVALID_HANDLE_VALUE);
    int forms = m.Forms->Count();
    EXPECT_THROW(f.LoadFromFile(&m, -1), fw::EFOpenError);
    EXPECT_EQ(m.Forms->Count(), forms);
    CloseHandle(writer2);
    CloseHandle(reader);
}
#endif

// A value keeps its bits when the model copies or moves it: a signalling NaN (a float a file
// may store) comes out of every copy as it went in, on 32-bit x86 too.
TEST(LangFormat, ValuesKeepTheirBitsWhenCopied) {
    const uint64_t bits[] = {0xFFF4000000000123u, 0x7FF0000000000001u, 0x8000000000000000u};
    for (uint64_t b : bits) {
        TLFRecord rec;
        rec.Kind = vkFloat;
        rec.Value.Present = true;
        std::memcpy(&rec.Value.Float, &b, sizeof b);
        std::vector<TLFRecord> list(3, rec);  // copies
        TLFValue assigned;
        assigned = list[1].Value;
        TLFValue moved(std::move(list[2].Value));
        for (const TLFValue* v : {&list[0].Value, &assigned, &moved}) {
            uint64_t got;
            std::memcpy(&got, &v->Float, sizeof got);
            EXPECT_EQ(got, b) << std::hex << b;
        }
    }
}
