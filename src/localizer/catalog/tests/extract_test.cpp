// Extracting the native dictionary of a program, following a previous one, and the keys agreeing
// with what the module builder looks up.
#include <gtest/gtest.h>

#include <unistd.h>
#include <filesystem>

#include "CatalogTestUtil.h"
#include "localizer/langres/LFProc.h"
#include "localizer/langres/LangRes.h"
#include "localizer/langres/LangWriter.h"

using namespace cattest;
using catalog::TExtractOptions;
using catalog::TLangFileImage;

namespace {

const char* const kMainForm = R"(object MainForm: TMainForm
  Caption = 'Main window'
  Hint = ''
  Font.Name = 'Tahoma'
  Width = 300
  object OkButton: TButton
    Caption = '&OK'
    Hint = 'Closes the window'
    Tag = 5
  end
  object Panel1: TPanel
    Caption = ''
    object InnerLabel: TLabel
      Caption = 'Inner'
    end
  end
  object Book: TTabbedNotebook
    object TTabPage
      Caption = 'First'
    end
    object TTabPage
      Caption = 'Second'
    end
  end
  inline Frame1: TAddressFrame
    Hint = 'Postal'
    inherited CityLabel: TLabel
      Caption = 'City'
    end
  end
  object List: TListBox
    Items.Strings = (
      'One'
      'Two')
  end
  object Numbers: TListBox
    Items.Strings = (
      1
      2)
  end
  object Bar: TStatusBar
    Panels = <
      item
        Text = 'Ready'
        Width = 50
      end
      item
        Width = 20
      end
      item
        Text = 'Third'
      end>
  end
  object Wide: TLabel
    Caption = #1044#1072' '#1085#1077#1090
  end
  object Menu: TMainMenu
    object FileItem: TMenuItem
      Caption = '&File'
      object SaveItem: TMenuItem
        Caption = '&Save %s'
        ShortCut = 16467
      end
    end
  end
end
)";

const char* const kAboutForm = R"(object AboutForm: TAboutForm
  Caption = 'About'
end
)";

Program Sample() {
    Program p;
    p.Strings = {{100, u"Hello"}, {101, u"Goodbye"}, {4000, u"Open %s"}};
    p.RCData = {{"TMAINFORM", FormResource(kMainForm)}, {"TABOUTFORM", FormBinary(kAboutForm)}};
    return p;
}

catalog::TExtractResult Extract(const Program& prog, const TExtractOptions& opt = {}) {
    resources::TResProcessor p;
    prog.Fill(p);
    return catalog::ExtractNative(p, "app.exe", opt);
}

std::filesystem::path Scratch() {
    static auto dir = [] {
        auto d = std::filesystem::temp_directory_path() / ("vtp_catalog_" + std::to_string(getpid()));
        std::filesystem::create_directories(d);
        return d;
    }();
    return dir;
}

}  // namespace

TEST(Extract, FormsGiveEveryTranslatablePropertyUnderTheBuildersKey) {
    auto r = Extract(Sample());
    TLangFileImage& img = r.Image;
    std::vector<std::string> expected = {
        "Strings.S100",
        "Strings.S101",
        "Strings.S4000",
        "AboutForm.Caption",
        "MainForm.Caption",
        "MainForm.Bar.Panels[0].Text",
        "MainForm.Bar.Panels[2].Text",
        "MainForm.Book.TTabPage1.Caption",
        "MainForm.Book.TTabPage2.Caption",
        "MainForm.FileItem.Caption",
        "MainForm.Frame1.Hint",
        "MainForm.Frame1.CityLabel.Caption",
        "MainForm.InnerLabel.Caption",
        "MainForm.List.Items.Strings",
        "MainForm.OkButton.Caption",
        "MainForm.OkButton.Hint",
        "MainForm.SaveItem.Caption",
        "MainForm.Wide.Caption",
    };
    EXPECT_EQ(Paths(img), expected);
    EXPECT_EQ(Find(img, "MainForm.List.Items.Strings")->Kind, langres::vkStringList);
    EXPECT_EQ(Find(img, "MainForm.List.Items.Strings")->Value.Text, u"One\r\nTwo");
    EXPECT_EQ(Find(img, "MainForm.OkButton.Caption")->Value.Text, u"&OK");
    EXPECT_EQ(Find(img, "MainForm.Wide.Caption")->Value.Text, u"\u0414\u0430 \u043D\u0435\u0442");
    EXPECT_EQ(Find(img, "MainForm.Wide.Caption")->Flags, langres::vfWide);
    EXPECT_EQ(Find(img, "MainForm.Caption")->Flags, 0);
    EXPECT_EQ(Find(img, "Strings.S4000")->ResId, 4000);
    // A first extract: revision 1 everywhere, ids 1, 2, ... per category in file order.
    EXPECT_EQ(img.Header.Revision, 1u);
    EXPECT_EQ(img.Header.IsNative, 1);
    EXPECT_EQ(img.Header.LangId, 0x0409);
    EXPECT_EQ(img.Header.EnglishLangName, "English");
    EXPECT_EQ(img.Header.LastConstantId, 3u);
    EXPECT_EQ(img.Header.LastPropertyId, 15u);
    uint32_t constantId = 0, propertyId = 0;
    for (const auto& it : catalog::Items(img)) {
        EXPECT_EQ(it.Record->Revision, 1) << it.Path();
        EXPECT_EQ(it.Record->Id, it.Category == catalog::icConstant ? ++constantId : ++propertyId) << it.Path();
    }
    EXPECT_EQ(r.Counts.Forms, 2u);
    EXPECT_TRUE(r.Notes.empty());
}

TEST(Extract, SameProgramSameBytes) {
    auto a = langres::WriteLangFile(Extract(Sample()).Image);
    auto b = langres::WriteLangFile(Extract(Sample()).Image);
    EXPECT_EQ(a, b);
    // The file reads back as the program reads it.
    auto img = langres::ParseLangFileImage(a.data(), a.size());
    EXPECT_EQ(img.Forms.size(), 2u);
}

TEST(Extract, NamesFromAResourceHeader) {
    std::string header =
        "// strings\n#define IDS_HELLO 100\n#define IDC_OTHER 100\n# define  S_BYE   (0x65) /* bye */\n"
        "#define VERSION \"1.0\"\n#define IDD_MAIN 4000U\n";
    auto names = catalog::ParseResourceHeader(header, "res.h");
    EXPECT_EQ(names.at(100), "IDS_HELLO");
    EXPECT_EQ(names.at(101), "S_BYE");
    EXPECT_EQ(names.at(4000), "IDD_MAIN");
    EXPECT_EQ(names.size(), 3u);
    TExtractOptions opt;
    opt.Names = names;
    opt.UnitName = "res";
    auto r = Extract(Sample(), opt);
    EXPECT_NE(Find(r.Image, "res.IDS_HELLO"), nullptr);
    EXPECT_NE(Find(r.Image, "res.S_BYE"), nullptr);
    EXPECT_EQ(Find(r.Image, "res.IDD_MAIN")->Value.Text, u"Open %s");
    try {
        catalog::ParseResourceHeader("#define A 1\n\n#define IDS_BIG 70000\n", "big.h");
        FAIL() << "no error";
    } catch (const catalog::ECatalogError& e) {
        EXPECT_EQ(e.Message(), "big.h:3: IDS_BIG = 70000 is not a string id (0 to 65535)");
    }
}

// Comments and numbers as the C preprocessor reads them.
TEST(Extract, ResourceHeaderCommentsAndNumberBases) {
    std::string header =
        "/* old ids, kept for reference:\n"
        "#define IDS_OLD 200\n"
        "#define IDS_OLDER 201 */\n"
        "#define IDS_OCT 010\n"  // octal: 8
        "#define IDS_DEC 10 /* ten */ // really\n"
        "#define /* in the line */ IDS_MID 0x0Bu\n"
        "#define IDS_LONG (12L)\n"
        "#define IDS_ZERO 0\n"
        "#define IDS_TEXT \"/* not a comment\"\n"
        "#define IDS_AFTER 13 // after a string with a comment mark\n"
        "#define IDS_BADOCT 09\n"  // not a number: skipped
        "#define IDS_SUM (1 + 2)\n"
        "#define IDS_CALL(x) 14\n"
        "// #define IDS_LINE 300\n"
        "/* one */ #define IDS_FIRST 15 /* two\n three */\n";
    auto names = catalog::ParseResourceHeader(header, "res.h");
    std::map<uint16_t, std::string> want = {{8, "IDS_OCT"},  {10, "IDS_DEC"},   {11, "IDS_MID"},  {12, "IDS_LONG"},
                                            {0, "IDS_ZERO"}, {13, "IDS_AFTER"}, {15, "IDS_FIRST"}};
    EXPECT_EQ(names, want);
    // Line numbers count the lines inside block comments.
    try {
        catalog::ParseResourceHeader("/*\n\n*/\n#define IDS_BIG 0200000\n", "big.h");
        FAIL() << "no error";
    } catch (const catalog::ECatalogError& e) {
        EXPECT_EQ(e.Message(), "big.h:4: IDS_BIG = 0200000 is not a string id (0 to 65535)");
    }
}

// Lines continued with a backslash are one line, as the preprocessor joins them (before it
// reads comments); the lines after keep their numbers.
TEST(Extract, ResourceHeaderContinuedLines) {
    std::string header =
        "#define IDS_X \\\n"
        "        65521\n"
        "#define IDS_Y\\\r\n"
        "(65522)\n"
        "#define \\\n"
        "IDS_Z \\\n"
        "\\\n"
        "65523\n"
        "// a comment \\\n"
        "#define IDS_HIDDEN 65524\n"
        "#define IDS_AFTER 65525\n";
    auto names = catalog::ParseResourceHeader(header, "res.h");
    std::map<uint16_t, std::string> want = {{65521, "IDS_X"}, {65522, "IDS_Y"}, {65523, "IDS_Z"}, {65525, "IDS_AFTER"}};
    EXPECT_EQ(names, want);
    try {
        catalog::ParseResourceHeader("#define IDS_A \\\n 1\n#define IDS_B \\\n70000\n#define IDS_C 3\n", "big.h");
        FAIL() << "no error";
    } catch (const catalog::ECatalogError& e) {
        EXPECT_EQ(e.Message(), "big.h:3: IDS_B = 70000 is not a string id (0 to 65535)");
    }
}

TEST(Extract, WhatAProgramLacks) {
    Program none;
    none.LangId = 0;
    none.Strings = {{1, u"x"}};
    EXPECT_THROW(Extract(none), catalog::ECatalogError);  // no language anywhere
    TExtractOptions opt;
    opt.LangId = 0x0407;
    auto r = Extract(none, opt);
    EXPECT_EQ(r.Image.Header.LangId, 0x0407);
    EXPECT_EQ(r.Notes, std::vector<std::string>{"no form resources"});
    EXPECT_EQ(r.Image.Units.size(), 1u);

    Program formsOnly;
    formsOnly.RCData = {{"TABOUTFORM", FormBinary(kAboutForm)}};
    r = Extract(formsOnly);
    EXPECT_EQ(r.Notes, std::vector<std::string>{"no string table"});
    EXPECT_EQ(Paths(r.Image), std::vector<std::string>{"AboutForm.Caption"});

    // A form stream cut short names the form.
    Program broken;
    auto bytes = FormBinary(kMainForm);
    bytes.resize(bytes.size() / 2);
    broken.RCData = {{"TMAINFORM", bytes}};
    try {
        Extract(broken);
        FAIL() << "no error";
    } catch (const catalog::ECatalogError& e) {
        EXPECT_EQ(e.Message().rfind("app.exe: form resource TMAINFORM: ", 0), 0u) << e.Message();
    }
}

TEST(Extract, UpdateKeepsIdsAndRevisionsOfUnchangedItems) {
    TLangFileImage first = Extract(Sample()).Image;
    first.Header.Revision = 7;  // a dictionary that has seen a few releases
    for (auto& it : catalog::Items(first)) it.Record->Revision = 7;
    catalog::Items(first)[0].Record->Flags = langres::vfDoNotTranslate;  // set by hand, kept

    // Nothing changed: the same dictionary, byte for byte.
    TExtractOptions opt;
    opt.Previous = &first;
    auto same = Extract(Sample(), opt);
    EXPECT_EQ(langres::WriteLangFile(same.Image), langres::WriteLangFile(first));
    EXPECT_EQ(same.Counts.Unchanged, 18u);
    EXPECT_EQ(same.Counts.Added + same.Counts.Changed + same.Counts.Removed, 0u);

    // One text changed, one string added, one form removed.
    Program next = Sample();
    next.Strings[1].second = u"Bye";
    next.Strings.push_back({102, u"New"});
    next.RCData.pop_back();
    auto r = Extract(next, opt);
    EXPECT_EQ(r.Counts.Unchanged, 16u);
    EXPECT_EQ(r.Counts.Changed, 1u);
    EXPECT_EQ(r.Counts.Added, 1u);
    EXPECT_EQ(r.Counts.Removed, 1u);
    TLangFileImage& img = r.Image;
    EXPECT_EQ(img.Header.Revision, 8u);
    EXPECT_EQ(Find(img, "Strings.S100")->Revision, 7);
    EXPECT_EQ(Find(img, "Strings.S100")->Flags, langres::vfDoNotTranslate);
    EXPECT_EQ(Find(img, "Strings.S101")->Revision, 8);
    EXPECT_EQ(Find(img, "Strings.S101")->Id, Find(first, "Strings.S101")->Id);
    EXPECT_EQ(Find(img, "Strings.S102")->Revision, 8);
    EXPECT_EQ(Find(img, "Strings.S102")->Id, 4u);  // after the previous last constant id
    EXPECT_EQ(img.Header.LastConstantId, 4u);
    EXPECT_EQ(Find(img, "AboutForm.Caption"), nullptr);
    EXPECT_EQ(Find(img, "MainForm.Caption")->Id, Find(first, "MainForm.Caption")->Id);
    // Ids of removed items are not given out again.
    EXPECT_EQ(img.Header.LastPropertyId, first.Header.LastPropertyId);

    // A string renamed in the header is still the same string.
    TExtractOptions renamed = opt;
    renamed.Names = {{100, "IDS_HELLO"}};
    auto rn = Extract(Sample(), renamed);
    EXPECT_EQ(Find(rn.Image, "Strings.IDS_HELLO")->Id, Find(first, "Strings.S100")->Id);
    EXPECT_EQ(Find(rn.Image, "Strings.IDS_HELLO")->Revision, 7);
}

// What the extract keys is what the module builder translates: a module built from a pseudo
// translation has every extracted text changed, in forms and string table alike.
TEST(Extract, KeysAgreeWithTheModuleBuilder) {
    Program prog = Sample();
    TLangFileImage native = Extract(prog).Image;
    TLangFileImage pseudo = catalog::PseudoTranslation(native, 0x0407, 35);
    auto nativeBytes = langres::WriteLangFile(native);
    auto pseudoBytes = langres::WriteLangFile(pseudo);

    std::string app = (Scratch() / "app.exe").string();
    auto module = prog.Module();
    fw::WriteFileAtomically(app, module.data(), module.size());
    langres::TLangResource model;
    langres::TLangFile nf;
    fw::TMemoryStream ns(nativeBytes);
    nf.LoadFromStream(ns, &model, -1);
    langres::TLangFile pf;
    fw::TMemoryStream ps(pseudoBytes);
    int index = model.AddLanguage(0, 0x0407);
    pf.LoadFromStream(ps, &model, index);
    pf.DllLangIndex = index;
    fw::TMemoryStream out;
    pf.BuildResourceModule(0, out, &model, app);
    std::string dll = (Scratch() / "app.pseudo.dll").string();
    fw::WriteFileAtomically(dll, out.Memory(), static_cast<size_t>(out.Size()));

    resources::TResProcessor translated;
    translated.LoadFromFile(dll);
    TExtractOptions opt;
    opt.LangId = 0x0409;  // the module carries the translation's language in its record
    TLangFileImage again = catalog::ExtractNative(translated, dll, opt).Image;
    EXPECT_EQ(Paths(again), Paths(pseudo));
    for (const auto& it : catalog::Items(pseudo)) {
        const langres::TLFRecord* got = Find(again, it.Path());
        ASSERT_NE(got, nullptr) << it.Path();
        EXPECT_EQ(got->Value.Text, it.Record->Value.Text) << it.Path();
        EXPECT_NE(got->Value.Text, Find(native, it.Path())->Value.Text) << it.Path();
    }
}

// Values that are not words: an edit box's default number, a time, a format. The program reads
// them back; a translated "1" would break it.
TEST(Extract, TextsWithoutLettersAreLeftOut) {
    const char* const form = R"(object ValuesForm: TValuesForm
  Caption = 'Values'
  object CountEdit: TEdit
    Text = '1'
    Hint = '0.00'
  end
  object TimeEdit: TEdit
    Text = '12:00'
  end
  object Sep: TLabel
    Caption = '-'
  end
  object More: TButton
    Caption = '...'
  end
  object Money: TLabel
    Caption = '$'
  end
  object Fmt: TLabel
    Caption = '%d'
  end
  object Euro: TLabel
    Caption = #8364' 5'
  end
  object Word: TLabel
    Caption = #1044#1072
  end
  object Ideo: TLabel
    Caption = #25991#20214
  end
  object Accent: TLabel
    Caption = #233
  end
  object Sizes: TComboBox
    Items.Strings = (
      '1'
      '2'
      '10')
  end
  object Modes: TComboBox
    Items.Strings = (
      'Auto'
      '1'
      '2')
  end
end
)";
    Program prog;
    prog.Strings = {{1, u"%d"}, {2, u"0.00"}, {3, u"12:00"}, {4, u"File %d"}, {5, u"\u0424\u0430\u0439\u043B"},
                    {6, u"-"}};
    prog.RCData = {{"TVALUESFORM", FormBinary(form)}};
    auto r = Extract(prog);
    std::vector<std::string> expected = {"Strings.S4",
                                         "Strings.S5",
                                         "ValuesForm.Caption",
                                         "ValuesForm.Accent.Caption",
                                         "ValuesForm.Ideo.Caption",
                                         "ValuesForm.Modes.Items.Strings",
                                         "ValuesForm.Word.Caption"};
    EXPECT_EQ(Paths(r.Image), expected);
    EXPECT_EQ(r.Counts.Constants, 2u);
    EXPECT_EQ(r.Counts.Properties, 5u);

    // A dictionary of an earlier extract still holds such items: they go and count as removed.
    TLangFileImage older = r.Image;
    older.Header.Revision = 3;
    older.Units[0].Constants.push_back(older.Units[0].Constants[0]);
    older.Units[0].Constants.back().Name = "S1";
    older.Units[0].Constants.back().ResId = 1;
    older.Units[0].Constants.back().Id = 20;
    older.Units[0].Constants.back().Value.Text = u"%d";
    langres::TLFRecord number = older.Forms[0].Properties[0];
    number.Name = "Text";
    number.Id = 21;
    number.Value.Text = u"1";
    older.Forms[0].Components.insert(older.Forms[0].Components.begin() + 1, {"CountEdit", 0, {number}});
    older.Header.LastConstantId = 20;
    older.Header.LastPropertyId = 21;
    TExtractOptions opt;
    opt.Previous = &older;
    auto u = Extract(prog, opt);
    EXPECT_EQ(u.Counts.Removed, 2u);
    EXPECT_EQ(u.Counts.Unchanged, 7u);
    EXPECT_EQ(u.Counts.Added + u.Counts.Changed, 0u);
    EXPECT_EQ(Paths(u.Image), expected);
    EXPECT_EQ(u.Image.Header.Revision, 4u);
}
