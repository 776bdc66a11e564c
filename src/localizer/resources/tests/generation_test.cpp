// The generation of a program built with the framework's own tools, told from its resources, and
// the string values of its forms as the scan names them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FormText.h"
#include "ResTestUtil.h"
#include "framework/FormStream.h"
#include "localizer/resources/FormConvert.h"
#include "localizer/resources/Generation.h"
#include "localizer/resources/ResProc.h"

using namespace resources;

namespace {

using Bytes = std::vector<uint8_t>;

Bytes Binary(const std::string& text, bool utf8 = false, uint32_t langId = 0) {
    return restest::FormFromText(text, langId, utf8);
}

// 8-bit strings only, a Polish one in code page 1250 among them.
const std::string kEightBitForm =
    "object MainForm: TMainForm\r\n"
    "  Caption = 'Faktury'\r\n"
    "  object SaveButton: TButton\r\n"
    "    Caption = 'Zapisz \xBF\xF3\xB3\xE6'\r\n"
    "  end\r\n"
    "end\r\n";

// A wide string (tag 18: Chinese takes 3 bytes a character in UTF-8) in a collection item.
const std::string kWideForm =
    "object ListForm: TListForm\r\n"
    "  object View: TListView\r\n"
    "    Columns = <\r\n"
    "      item\r\n"
    "        Caption = 'Size'\r\n"
    "      end\r\n"
    "      item\r\n"
    "        Caption = #21517#31216\r\n"
    "      end>\r\n"
    "  end\r\n"
    "end\r\n";

TResRCData* AddItem(TResProcessor& p, const std::string& name, const Bytes& data) {
    auto* rc = static_cast<TResRCData*>(p.FindBlock(10));
    if (!rc) rc = static_cast<TResRCData*>(p.AddBlock(std::make_unique<TResRCData>()));
    fw::TMemoryStream s(data);
    rc->Add(name)->LoadData(s);
    return rc;
}

class Generation : public ::testing::Test {
protected:
    void AddForm(const std::string& name, const Bytes& data) { rc_ = AddItem(p_, name, data); }
    TResProcessor p_;
    TResRCData* rc_ = nullptr;
};

TEST_F(Generation, EightBitFormsOnlyMeanTheOldestReader) {
    AddForm("TMAINFORM", Binary(kEightBitForm));
    AddForm("DVCLAL", Bytes(16, 0xA2));
    AddForm("PACKAGEINFO", Bytes{0, 0x0C, 0, 0});
    TFormReaderKinds k = ProgramFormReader(p_);
    EXPECT_EQ(k.Generation, TGeneration::Ansi);
    EXPECT_FALSE(k.Wide);
    EXPECT_FALSE(k.Utf8);
    EXPECT_FALSE(k.Takes(fw::vaWString));
    EXPECT_FALSE(k.Takes(fw::vaUTF8String));
    EXPECT_TRUE(k.Takes(fw::vaString));
    EXPECT_TRUE(k.Takes(fw::vaLString));
    EXPECT_EQ(k.Describe(),
              "8-bit era (no mark of the Unicode era): 8-bit strings only (its forms carry no wide or UTF-8 string)");
}

TEST_F(Generation, WideOrUtf8ValuesInItsOwnFormsProveTheReaderTakesThem) {
    AddForm("TMAINFORM", Binary(kEightBitForm));
    // In a resource form (the 16-bit resource header in front), in a collection item.
    fw::TMemoryStream res;
    fw::BinaryToResourceForm(Binary(kWideForm), res);
    AddForm("TLISTFORM", res.Bytes());
    TFormReaderKinds k = ProgramFormReader(p_);
    EXPECT_EQ(k.Generation, TGeneration::Ansi);
    EXPECT_TRUE(k.Wide);
    EXPECT_FALSE(k.Utf8);  // a reader that knows tag 18 need not know the later tag 20
    EXPECT_EQ(k.Evidence, "its forms carry wide strings: ListForm.View.Columns[1].Caption");

    // A UTF-8 string (an 8-bit text stored the way later 8-bit-era compilers did): both kinds.
    AddForm("TOTHERFORM",
            Binary("object OtherForm: TOtherForm\r\n  Caption = 'Zapisz \xBF\xF3\xB3\xE6'\r\nend\r\n", true, 0x0415));
    k = ProgramFormReader(p_);
    EXPECT_EQ(k.Generation, TGeneration::Ansi);
    EXPECT_TRUE(k.Wide);
    EXPECT_TRUE(k.Utf8);
    EXPECT_EQ(k.Evidence, "its forms carry UTF-8 strings: OtherForm.Caption");
}

TEST_F(Generation, MarksOfTheUnicodeEra) {
    AddForm("TMAINFORM", Binary(kEightBitForm));
    ASSERT_EQ(ProgramFormReader(p_).Generation, TGeneration::Ansi);

    // Names in UTF-8: a label named 日志 (identifiers of that era may be any letters).
    Bytes named = {'T', 'P', 'F', '0', 6,   'T', 'F', 'o', 'r',  'm',  '2',  5,    'F',  'o',  'r', 'm', '2', 0,
                   6,   'T', 'L', 'a', 'b', 'e', 'l', 6,   0xE6, 0x97, 0xA5, 0xE5, 0xBF, 0x97, 0,   0,   0};
    ASSERT_FALSE(ScanForm(named.data(), named.size()).Strings.size());
    ASSERT_TRUE(ScanForm(named.data(), named.size()).NonAsciiNames);
    {
        TResProcessor p;
        AddItem(p, "TMAINFORM", Binary(kEightBitForm));
        AddItem(p, "TFORM2", named);
        TFormReaderKinds k = ProgramFormReader(p);
        EXPECT_EQ(k.Generation, TGeneration::Unicode);
        EXPECT_EQ(k.Evidence, "names in form TFORM2 that are not ASCII");
        EXPECT_TRUE(k.Takes(fw::vaWString) && k.Takes(fw::vaUTF8String));
    }
    // PLATFORMTARGETS, which only the later versions' run-time library carries.
    AddForm("PLATFORMTARGETS", Bytes{1, 0, 0, 0});
    TFormReaderKinds k = ProgramFormReader(p_);
    EXPECT_EQ(k.Generation, TGeneration::Unicode);
    EXPECT_EQ(k.Describe(), "Unicode era (it carries PLATFORMTARGETS): every kind of value");
}

// A 64-bit program (its optional header the PE32+ one) is of the Unicode era, told from the
// file; the same file as a 32-bit module is not.
TEST_F(Generation, SixtyFourBitProgramsAreOfTheUnicodeEra) {
    AddForm("TMAINFORM", Binary(kEightBitForm));
    p_.FixedTimeStamp = 1;
    Bytes image = restest::Module(p_);
    TResProcessor plain;
    plain.LoadFromFile(restest::WriteScratch("gen32.exe", image));
    EXPECT_FALSE(plain.Source64Bit);
    EXPECT_EQ(ProgramFormReader(plain).Generation, TGeneration::Ansi);
    ASSERT_EQ(image[0x118], 0x0B);
    image[0x119] = 0x02;  // magic 0x020B
    TResProcessor wide;
    wide.KeepAllResources = true;
    wide.LoadFromFile(restest::WriteScratch("gen64.exe", image));
    EXPECT_TRUE(wide.Source64Bit);
    TFormReaderKinds k = ProgramFormReader(wide);
    EXPECT_EQ(k.Generation, TGeneration::Unicode);
    EXPECT_EQ(k.Evidence, "a 64-bit program");
}

// A 32-bit program of the Unicode era without PLATFORMTARGETS, its forms ASCII only (the first
// compilers of that era): told by the type information of its string type in its bytes. The
// name alone (a text that mentions it, the 8-bit era's own string types) tells nothing.
TEST_F(Generation, TheUnicodeRunTimeIsToldFromTheProgramsBytes) {
    AddForm("TMAINFORM", Binary(kEightBitForm));
    p_.FixedTimeStamp = 1;
    const Bytes image = restest::Module(p_);
    const std::string kind = "\x12\x0DUnicodeString";
    for (const auto& [tail, unicode] : {std::pair<std::string, bool>{"\x0A\x0A"
                                                                     "AnsiString\x0B\x0AWideString",
                                                                     false},
                                        {"\x0DUnicodeString declared", false},
                                        {"\x0F" + kind + "\x02\x00", true}}) {
        Bytes file = image;
        file.insert(file.end(), tail.begin(), tail.end());
        TResProcessor p;
        p.KeepAllResources = true;
        p.LoadFromFile(restest::WriteScratch("rtl.exe", file));
        EXPECT_EQ(p.SourceUnicodeRunTime, unicode) << tail;
        const TFormReaderKinds k = ProgramFormReader(p);
        EXPECT_EQ(k.Generation, unicode ? TGeneration::Unicode : TGeneration::Ansi) << tail;
        if (unicode)
            EXPECT_EQ(k.Describe(),
                      "Unicode era (its run-time library has the Unicode string type): every kind of value");
    }
    EXPECT_FALSE(HasUnicodeRunTime(nullptr, 0));
    EXPECT_FALSE(HasUnicodeRunTime(reinterpret_cast<const uint8_t*>(kind.data()), kind.size() - 1));
    EXPECT_TRUE(HasUnicodeRunTime(reinterpret_cast<const uint8_t*>(kind.data()), kind.size()));
}

// A form that does not read tells nothing; the others still do.
TEST_F(Generation, UnreadableFormsAreLeftOut) {
    Bytes wide = Binary(kWideForm);
    AddForm("TBROKEN", Bytes(wide.begin(), wide.end() - 12));
    AddForm("TMAINFORM", Binary(kEightBitForm));
    EXPECT_THROW(ScanForm(rc_->Items(0)->Data.Bytes().data(), rc_->Items(0)->Data.Bytes().size()), fw::EReadError);
    TFormReaderKinds k = ProgramFormReader(p_);
    EXPECT_EQ(k.Generation, TGeneration::Ansi);
    EXPECT_FALSE(k.Wide);
    // A resource-form header whose size runs past the data.
    const Bytes cut = {0xFF, 0x0A, 0x00, 'T', 0, 0x30, 0x10, 0xFF, 0xFF, 0, 0, 'T', 'P', 'F', '0'};
    EXPECT_THROW(ScanForm(cut.data(), cut.size()), fw::EReadError);
    const Bytes headerOnly = {0xFF, 0x0A, 0x00, 'T'};
    EXPECT_THROW(ScanForm(headerOnly.data(), headerOnly.size()), fw::EReadError);
}

// Item paths as the dictionary has them: the form's own properties, named children by name,
// string lists as one item, collection items by index, components of an inline frame behind it.
TEST(FormScan, NamesEveryStringValueByItsItem) {
    const Bytes b = Binary(
        "object MainForm: TMainForm\r\n"
        "  Caption = 'Main'\r\n"
        "  Tag = 5\r\n"
        "  object Combo: TComboBox\r\n"
        "    Items.Strings = (\r\n"
        "      'One'\r\n"
        "      #1060)\r\n"
        "  end\r\n"
        "  object Bar: TStatusBar\r\n"
        "    Panels = <\r\n"
        "      item\r\n"
        "        Text = 'Ready'\r\n"
        "      end>\r\n"
        "  end\r\n"
        "  inline Frame1: TAddressFrame\r\n"
        "    object Street: TEdit\r\n"
        "      Text = 'Street'\r\n"
        "    end\r\n"
        "  end\r\n"
        "end\r\n");
    TFormScan scan = ScanForm(b.data(), b.size());
    EXPECT_FALSE(scan.NonAsciiNames);
    std::vector<std::string> items;
    std::vector<int> tags;
    for (const auto& v : scan.Strings) {
        items.push_back(v.Item);
        tags.push_back(v.Tag);
    }
    EXPECT_EQ(items, (std::vector<std::string>{"MainForm.Caption", "MainForm.Combo.Items.Strings",
                                               "MainForm.Combo.Items.Strings", "MainForm.Bar.Panels[0].Text",
                                               "MainForm.Frame1.Street.Text"}));
    EXPECT_EQ(tags, (std::vector<int>{fw::vaString, fw::vaString, fw::vaWString, fw::vaString, fw::vaString}));
}

}  // namespace
