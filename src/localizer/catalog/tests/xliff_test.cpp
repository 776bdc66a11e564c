// XLIFF 1.2 export and import: round trips over every fixture and seed translation, the OASIS
// strict schema (xmllint) and Translate Toolkit's xliff2po as independent readers where the
// machine has them, files edited as CAT tools edit them, and malformed files refused.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>

#include "CatalogTestUtil.h"
#include "ExchangeTestUtil.h"
#include "localizer/catalog/XliffCatalog.h"
#ifdef VTP_HAVE_GETTEXTPO
#include "localizer/catalog/PoCatalog.h"
#endif

using namespace cattest;
using catalog::TLangFileImage;
namespace fs = std::filesystem;

namespace {

const std::string kSample = std::string(VTP_SOURCE_DIR) + "/fixtures/sampleapp/";

fs::path Scratch() {
    static auto dir = [] {
        auto d = fs::temp_directory_path() /
                 ("vtp_catalog_xliff_" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

// The scratch folder goes when the tests end.
class ScratchCleanup : public ::testing::Environment {
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(Scratch(), ec);
    }
};
const auto* const kCleanup = ::testing::AddGlobalTestEnvironment(new ScratchCleanup);

std::string Write(const std::string& name, const std::string& text) {
    std::string path = (Scratch() / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

std::string Str(const std::vector<uint8_t>& b) {
    return std::string(b.begin(), b.end());
}

std::string Export(const TLangFileImage& native, const TLangFileImage* tr, const std::string& original = "app") {
    catalog::TXliffOptions opt;
    opt.Original = original;
    return Str(catalog::ExportXliff(native, tr, opt));
}

// The export with the classes and size limits of a program's forms, as --app gives them.
std::string ExportWith(const cattest::Program& program, const TLangFileImage& native, const TLangFileImage* tr,
                       const std::string& original) {
    resources::TResProcessor p;
    program.Fill(p);
    catalog::TXliffOptions opt;
    opt.Original = original;
    std::vector<std::string> notes;
    catalog::AddXliffProgram(opt, p, original, native.Header.LangId, notes);
    EXPECT_TRUE(notes.empty()) << notes.front();
    return Str(catalog::ExportXliff(native, tr, opt));
}

catalog::TImportResult Read(const std::string& text, const TLangFileImage& native, uint16_t lang = 0,
                            const std::string& name = "t.xlf") {
    return catalog::ReadXliff(std::vector<uint8_t>(text.begin(), text.end()), name, native, lang);
}

std::string Error(const std::function<void()>& f) {
    try {
        f();
    } catch (const catalog::ECatalogError& e) {
        return e.Message();
    }
    return "(no error)";
}

// The text with the first `from` replaced by `to`; the test fails when there is none.
std::string Edit(std::string text, const std::string& from, const std::string& to) {
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) text.replace(at, from.size(), to);
    return text;
}

// The whole <trans-unit> element of a path.
std::string Unit(const std::string& xliff, const std::string& path) {
    size_t at = xliff.find("resname=\"" + path + "\"");
    if (at == std::string::npos) return {};
    size_t b = xliff.rfind("<trans-unit", at), e = xliff.find("</trans-unit>", at);
    return xliff.substr(b, e + 13 - b);
}

#ifndef _WIN32
int Shell(const std::string& cmd) {
    return std::system((cmd + " 2>'" + (Scratch() / "stderr.txt").string() + "'").c_str());
}
std::string Stderr() {
    std::ifstream in(Scratch() / "stderr.txt", std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

const char* const kSchemas = "/usr/share/php/Symfony/Component/Translation/Resources/schemas/";

// xmllint against the OASIS XLIFF 1.2 strict schema (shipped by Debian's php-symfony-translation),
// its import of xml.xsd resolved to the local copy beside it.
bool HaveSchema() {
    return fs::exists(std::string(kSchemas) + "xliff-core-1.2-strict.xsd") &&
           std::system("xmllint --version >/dev/null 2>&1") == 0;
}
std::string SchemaErrors(const std::string& file) {
    std::string catalogFile = (Scratch() / "catalog.xml").string();
    std::ofstream(catalogFile) << "<?xml version=\"1.0\"?>\n"
                                  "<catalog xmlns=\"urn:oasis:names:tc:entity:xmlns:xml:catalog\">\n"
                                  "  <uri name=\"http://www.w3.org/2001/xml.xsd\" uri=\"file://"
                               << kSchemas << "xml.xsd\"/>\n</catalog>\n";
    int rc = Shell("XML_CATALOG_FILES='" + catalogFile + "' xmllint --nonet --noout --schema '" + kSchemas +
                   "xliff-core-1.2-strict.xsd' '" + file + "'");
    return rc == 0 ? "" : Stderr();
}
#endif

}  // namespace

// lng -> xlf -> lng gives the same file for the sample's translations; the file is what CAT
// tools expect: one <file> naming the program and its languages as tags, one unit per item with
// a unique id, the item's path as resname, whitespace kept, a state on every target.
TEST(Xliff, RoundTripOfTheSampleTranslations) {
    TLangFileImage native = langres::ReadLangFileImage(kSample + "sampleapp.ntv.lng");
    for (const char* lang : {"de", "fr"}) {
        TLangFileImage tr = langres::ReadLangFileImage(kSample + "sampleapp." + lang + ".lng");
        std::string x = Export(native, &tr, "sampleapp");
        EXPECT_NE(
            x.find("<file original=\"sampleapp\" source-language=\"en-US\" target-language=\"" + std::string(lang) +
                   "-" + (lang == std::string("de") ? "DE" : "FR") + "\" datatype=\"winres\""),
            std::string::npos)
            << x.substr(0, 400);
        std::string hello = Unit(x, "SampleStrings.SHello");
        EXPECT_NE(hello.find("id=\"SampleStrings.SHello\""), std::string::npos) << hello;
        EXPECT_NE(hello.find("restype=\"string\" xml:space=\"preserve\""), std::string::npos) << hello;
        EXPECT_NE(hello.find("<source>Hello</source>"), std::string::npos) << hello;
        EXPECT_NE(hello.find("<target state=\"needs-review-translation\">"), std::string::npos) << hello;
        EXPECT_EQ(hello.find("approved"), std::string::npos) << hello;
        EXPECT_NE(
            Unit(x, "MainForm.RecentList.Items.Strings").find("<source>Recent files\nOpen a recent file</source>"),
            std::string::npos);
        // Ids are unique, and there is one unit per item of the native dictionary.
        std::set<std::string> ids;
        size_t units = 0;
        for (size_t at = 0; (at = x.find("<trans-unit id=\"", at)) != std::string::npos; ++at, ++units)
            ids.insert(x.substr(at + 16, x.find('"', at + 16) - at - 16));
        EXPECT_EQ(ids.size(), units);
        EXPECT_EQ(units, catalog::Items(native).size());

        auto back = Read(x, native);
        EXPECT_TRUE(back.Skipped.empty());
        EXPECT_EQ(back.Entries, units);
        EXPECT_EQ(Diff(back.Image, tr), "") << lang;
    }
    // The bytes of this build are the bytes of every build (the Windows vtploc's test compares
    // its output for the built program with the same file): the classes and the size limits
    // come from the forms alone, whatever measures texts.
    TLangFileImage de = langres::ReadLangFileImage(kSample + "sampleapp.de.lng");
    std::string withApp = ExportWith(cattest::SampleProgram(), native, &de, "sampleapp");
    EXPECT_EQ(withApp, Str(fw::ReadFileBytes(kSample + "sampleapp.de.xlf")));
    auto again = Read(withApp, native);
    EXPECT_EQ(Diff(again.Image, de), "");
    // The sample's rooms by hand from its forms: a 96-pixel button, a 180-pixel group box, a
    // 200-pixel column; its growing label, tabs and menus have none.
    EXPECT_NE(Unit(withApp, "MainForm.OpenButton.Caption")
                  .find("restype=\"button\" maxwidth=\"90\" size-unit=\"pixel\" "
                        "font=\"MS Sans Serif;8\""),
              std::string::npos);
    EXPECT_NE(Unit(withApp, "MainForm.OptionsGroup.Caption").find("maxwidth=\"164\""), std::string::npos);
    EXPECT_NE(Unit(withApp, "MainForm.FileView.Columns[0].Caption").find("maxwidth=\"188\""), std::string::npos);
    for (const char* path :
         {"MainForm.InfoLabel.Caption", "MainForm.Notebook.TTabPage1.Caption", "MainForm.File1.Caption",
          "MainForm.Open1.Caption", "MainForm.Caption", "SampleStrings.SHello"})
        EXPECT_EQ(Unit(withApp, path).find("maxwidth"), std::string::npos) << path;
    // The native dictionary alone: no target language, no targets; read back with a language
    // given, nothing is translated.
    std::string pot = Export(native, nullptr);
    EXPECT_EQ(pot.find("target-language"), std::string::npos);
    EXPECT_EQ(pot.find("<target"), std::string::npos);
    auto r = Read(pot, native, 0x0407);
    EXPECT_EQ(r.Translated, 0u);
    for (const auto& it : catalog::Items(r.Image)) EXPECT_EQ(it.Record->Revision, -1) << it.Path();
    EXPECT_NE(Error([&] { Read(pot, native, 0); }).find("give it with --lang"), std::string::npos);
}

// With the program, texts whose control has a fixed width carry that room (maxwidth in pixels)
// and the control's font: a button's width less its edges, a check box's less its box, a
// label's that neither grows nor wraps, a group box's less its caption's indent, status panels
// and columns. Growing labels, wrapping labels, tabs and menus have no room of their own and
// get none; neither do string tables and forms. The file stays valid and reads back the same.
TEST(Xliff, SizeLimitsOfFixedWidthControls) {
    cattest::Program p;
    p.RCData = {{"TMAINFORM", cattest::FormBinary(R"(object MainForm: TMainForm
  ClientWidth = 400
  Caption = 'Main'
  Font.Name = 'Tahoma'
  Menu = Menu1
  object Ok: TButton
    Width = 60
    Caption = '&OK'
  end
  object Remember: TCheckBox
    Caption = 'Remember'
  end
  object Fixed: TLabel
    AutoSize = False
    Width = 100
    Caption = 'Fixed'
  end
  object Grows: TLabel
    Caption = 'Grows'
  end
  object Wraps: TLabel
    AutoSize = False
    WordWrap = True
    Width = 100
    Height = 40
    Caption = 'Wraps'
  end
  object Tiny: TButton
    Width = 4
    Caption = 'X'
  end
  object Group: TGroupBox
    Width = 200
    Caption = 'Group'
    Font.Name = 'Arial'
    Font.Size = 10
    Font.Style = [fsBold, fsItalic]
    object Inner: TRadioButton
      Width = 100
      Caption = 'Inner'
    end
  end
  object Under: TPanel
    Width = 90
    Caption = 'Panel'
    Font.Name = 'Courier New'
    Font.Height = -16
    Font.Style = [fsUnderline]
  end
  object Pages: TPageControl
    object First: TTabSheet
      Caption = 'First page'
    end
  end
  object Status: TStatusBar
    Panels = <
      item
        Text = 'Ready'
        Width = 120
      end
      item
        Text = 'Last'
      end>
  end
  object Menu1: TMainMenu
    object FileItem: TMenuItem
      Caption = '&File'
      object OpenItem: TMenuItem
        Caption = '&Open'
      end
    end
  end
end
)")}};
    p.Strings = {{100, u"Hello"}};
    resources::TResProcessor program;
    p.Fill(program);
    TLangFileImage native = catalog::ExtractNative(program, "app", {}).Image;
    TLangFileImage tr = catalog::PseudoTranslation(native, catalog::PseudoLangId, 35);
    std::string x = ExportWith(p, native, &tr, "app");

    // The room by hand from the form: the rules of the controls, not this code's.
    const std::pair<const char*, const char*> sized[] = {
        {"MainForm.Ok.Caption", "maxwidth=\"54\" size-unit=\"pixel\" font=\"Tahoma;8\""},
        {"MainForm.Remember.Caption", "maxwidth=\"79\" size-unit=\"pixel\" font=\"Tahoma;8\""},  // 97 wide
        {"MainForm.Fixed.Caption", "maxwidth=\"100\" size-unit=\"pixel\" font=\"Tahoma;8\""},
        {"MainForm.Tiny.Caption", "maxwidth=\"0\" size-unit=\"pixel\" font=\"Tahoma;8\""},
        {"MainForm.Group.Caption", "maxwidth=\"184\" size-unit=\"pixel\" font=\"Arial;10;bold;italic\""},
        {"MainForm.Inner.Caption", "maxwidth=\"82\" size-unit=\"pixel\" font=\"Arial;10;bold;italic\""},
        {"MainForm.Under.Caption", "maxwidth=\"86\" size-unit=\"pixel\" font=\"Courier New;12;normal;underline\""},
        {"MainForm.Status.Panels[0].Text", "maxwidth=\"114\" size-unit=\"pixel\" font=\"Tahoma;8\""},
        {"MainForm.Status.Panels[1].Text", "maxwidth=\"258\" size-unit=\"pixel\" font=\"Tahoma;8\""},  // 400-120-16-6
    };
    for (const auto& [path, attrs] : sized) EXPECT_NE(Unit(x, path).find(attrs), std::string::npos) << Unit(x, path);
    for (const char* path :
         {"MainForm.Caption", "MainForm.Grows.Caption", "MainForm.Wraps.Caption", "MainForm.First.Caption",
          "MainForm.FileItem.Caption", "MainForm.OpenItem.Caption", "Strings.S100"}) {
        std::string unit = Unit(x, path);
        ASSERT_FALSE(unit.empty()) << path;
        for (const char* attr : {"maxwidth=", "size-unit=", "font="})
            EXPECT_EQ(unit.find(attr), std::string::npos) << unit;
    }
    // Sizes are facts of the program: the file reads back to the translation it was written from,
    // and so does one whose sizes a CAT tool changed or added to.
    EXPECT_EQ(Diff(Read(x, native).Image, tr), "");
    std::string edited = Edit(Edit(x, "maxwidth=\"54\"", "maxwidth=\"70\" coord=\"8;8;60;25\""), "font=\"Arial;10;",
                              "font=\"Verdana;9;");
    EXPECT_EQ(Diff(Read(edited, native).Image, tr), "");
    // Without the program there are none.
    EXPECT_EQ(Export(native, &tr).find("maxwidth="), std::string::npos);
#ifndef _WIN32
    if (HaveSchema()) {
        EXPECT_EQ(SchemaErrors(Write("sizes.xlf", x)), "");
        EXPECT_EQ(SchemaErrors(Write("sizes-edited.xlf", edited)), "");
    }
#endif
}

TEST(Xliff, FontAttribute) {
    catalog::measure::TFontDesc f;
    EXPECT_EQ(catalog::XliffFont(f), "MS Sans Serif;8");
    f.Name = "Segoe UI";
    f.Height = -12;  // 9 points
    f.Bold = true;
    EXPECT_EQ(catalog::XliffFont(f), "Segoe UI;9;bold");
    f.Bold = false;
    f.Italic = f.StrikeOut = true;
    f.Height = 16;  // a cell height: 13 pixels of em, 10 points
    EXPECT_EQ(catalog::XliffFont(f), "Segoe UI;10;normal;italic;strikeout");
    f.Height = INT32_MIN;  // whatever a form stores
    EXPECT_EQ(catalog::XliffFont(f), "Segoe UI;1610612736;normal;italic;strikeout");
    // A name the attribute cannot hold is left out rather than misread.
    f.Name = "Odd;Name";
    EXPECT_EQ(catalog::XliffFont(f), "");
    f.Name = "";
    EXPECT_EQ(catalog::XliffFont(f), "");
}

// Every value travels as in a PO file: numbers (a float by its bits), kinds without a stored
// value, translations of empty native texts and to empty texts, stamps, line ends; confirmed,
// not confirmed and untranslated as approved and state say.
TEST(Xliff, EveryValueOfATranslationComesBack) {
    TLangFileImage native = KindsNative(), tr = KindsTranslation();
    std::string x = Export(native, &tr);
    auto back = Read(x, native);
    EXPECT_TRUE(back.Skipped.empty());
    EXPECT_EQ(Bits(*Find(back.Image, "MainForm.Ok.Nan")), 0xFFF4000000000123u);
    EXPECT_EQ(Find(back.Image, "Main.SMixed")->Value.Text, u"Zeile1\r\nZeile2\nZeile3");
    EXPECT_EQ(Diff(back.Image, tr), "");

    EXPECT_NE(Unit(x, "Main.SHello").find("approved=\"yes\""), std::string::npos);
    EXPECT_NE(Unit(x, "Main.SHello").find("<target state=\"final\">Hallo</target>"), std::string::npos);
    EXPECT_NE(Unit(x, "MainForm.Ok.Caption").find("<target state=\"needs-translation\"></target>"), std::string::npos);
    EXPECT_NE(Unit(x, "MainForm.Ok.Width").find("<source>75</source>"), std::string::npos);
    EXPECT_NE(Unit(x, "MainForm.Ok.Anchors").find("<source>&lt;set&gt;</source>"), std::string::npos);
    EXPECT_NE(Unit(x, "Main.SEmpty").find("<source>&lt;empty&gt;</source>"), std::string::npos);

    // A translator changes the numbers: taken; a word where a number belongs: refused with the line.
    std::string edited = Edit(Edit(x, ">90</target>", ">100</target>"), ">2.5</target>", ">0.125</target>");
    auto e = Read(edited, native);
    EXPECT_EQ(Find(e.Image, "MainForm.Ok.Width")->Value.Int, 100);
    EXPECT_EQ(Bits(*Find(e.Image, "MainForm.Ok.Ratio")), 0x3FC0000000000000u);
    std::string bad = Edit(x, ">90</target>", ">wide</target>");
    size_t line =
        1 + static_cast<size_t>(std::count(
                bad.begin(), bad.begin() + static_cast<long>(bad.find("resname=\"MainForm.Ok.Width\"")), '\n'));
    EXPECT_EQ(Error([&] { Read(bad, native); }),
              "t.xlf:" + std::to_string(line) + ": unit \"MainForm.Ok.Width\": \"wide\" is not an integer");
}

TEST(Xliff, EveryValidTranslationOfTheFixturesAndSeedsComesBack) {
    size_t checked = 0;
    for (const auto& c : RoundTripCases(true)) {
        std::string x;
        try {
            x = Export(c.Native, &c.Translation, "seed");
        } catch (const catalog::ECatalogError&) {
            continue;  // two items with one path: no exchange file can hold it, and export says so
        }
        EXPECT_EQ(Diff(Read(x, c.Native).Image, c.Expected), "") << c.Name;
        ++checked;
    }
    EXPECT_GE(checked, 8u);
    RecordProperty("round_trips", static_cast<int>(checked));
}

// Texts XML cannot hold as they are: control characters, NUL, U+FFFE, a lone CR, markup
// characters, blanks alone, next to a real U+FFFD. They come back.
TEST(Xliff, TextsXmlCannotHoldAsTheyAreComeBack) {
    TLangFileImage native = KindsNative(), tr = KindsTranslation();
    const std::u16string texts[] = {
        std::u16string(u"a\x0001b\x001F") + u'\0' + u"c",
        u"\xFFFD and \x0007 and \xFFFE\xFFFF",
        u"CR\ralone\r",
        u"<tag attr=\"v\">&amp; ]]> &#13;",
        u"   ",
        u"\t tab and blanks \t",
        u"\U0001F600 astral",
    };
    for (const auto& t : texts) {
        const_cast<langres::TLFRecord*>(Find(tr, "Messages.Bye"))->Value.Text = t;
        const_cast<langres::TLFRecord*>(Find(native, "Main.SHello"))->Value.Text = t;
        TLangFileImage n2 = native;
        catalog::TUpdateCounts c;
        TLangFileImage expected = catalog::UpdateTranslation(n2, tr, c);
        std::string x = Export(n2, &tr);
        auto back = Read(x, n2);
        EXPECT_EQ(Find(back.Image, "Messages.Bye")->Value.Text, t) << fw::Utf16ToUtf8(t);
        EXPECT_EQ(Diff(back.Image, expected), "") << fw::Utf16ToUtf8(t);
#ifndef _WIN32
        if (HaveSchema()) {
            EXPECT_EQ(SchemaErrors(Write("chars.xlf", x)), "") << fw::Utf16ToUtf8(t);
        }
#endif
    }
}

#ifndef _WIN32
// The OASIS XLIFF 1.2 strict schema takes every file export writes.
TEST(Xliff, ExportIsValidAgainstTheStrictSchema) {
    if (!HaveSchema()) GTEST_SKIP() << "xmllint or the XLIFF 1.2 schema (php-symfony-translation) is missing";
    TLangFileImage native = langres::ReadLangFileImage(kSample + "sampleapp.ntv.lng");
    TLangFileImage de = langres::ReadLangFileImage(kSample + "sampleapp.de.lng");
    TLangFileImage qps = catalog::PseudoTranslation(native, catalog::PseudoLangId, 35);
    TLangFileImage kn = KindsNative(), kt = KindsTranslation();
    EXPECT_EQ(SchemaErrors(Write("de.xlf", Export(native, &de))), "");
    EXPECT_EQ(SchemaErrors(Write("ntv.xlf", Export(native, nullptr))), "");
    EXPECT_EQ(SchemaErrors(Write("qps.xlf", Export(native, &qps))), "");
    EXPECT_EQ(SchemaErrors(Write("kinds.xlf", Export(kn, &kt))), "");
    // The check can fail: a unit without its required id is refused by the schema.
    std::string broken = Edit(Export(kn, &kt), "<trans-unit id=\"Main.SHello\" ", "<trans-unit ");
    EXPECT_NE(SchemaErrors(Write("broken.xlf", broken)), "");
}
#endif

#if defined(VTP_HAVE_GETTEXTPO) && !defined(_WIN32)
namespace {

// msgctxt, msgid, msgstr and fuzzy of every entry of a PO file, read by Translate Toolkit.
// xliff2po gives a unit's id as the entry's location, and as msgctxt only where two units share
// a source text: either is the item's path.
std::string PoEntries(const std::string& po) {
    std::string out = (Scratch() / "entries.txt").string();
    std::string script = (Scratch() / "entries.py").string();
    std::ofstream(script) << "import sys\nfrom translate.storage import po\n"
                             "f = po.pofile.parsefile(sys.argv[1])\n"
                             "with open(sys.argv[2], 'w', encoding='utf-8') as o:\n"
                             "    for u in f.units:\n"
                             "        if u.isheader(): continue\n"
                             "        t = u.target or ''\n"
                             "        c = u.getcontext() or (u.getlocations() or [''])[0]\n"
                             "        o.write(repr((c, u.source, t, bool(t) and u.isfuzzy())) + '\\n')\n";
    if (Shell("/usr/bin/python3 '" + script + "' '" + po + "' '" + out + "'") != 0) return "(unreadable) " + Stderr();
    std::ifstream in(out, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

// Translate Toolkit's xliff2po reads our XLIFF as the same entries as our PO: msgctxt, msgid,
// msgstr and fuzzy (an empty msgstr is untranslated to both, whatever its mark).
TEST(Xliff, Xliff2poReadsTheEntriesOfOurPo) {
    if (Shell("command -v xliff2po >/dev/null") != 0) GTEST_SKIP() << "xliff2po (translate-toolkit) is missing";
    TLangFileImage native = langres::ReadLangFileImage(kSample + "sampleapp.ntv.lng");
    TLangFileImage de = langres::ReadLangFileImage(kSample + "sampleapp.de.lng");
    TLangFileImage qps = catalog::PseudoTranslation(native, catalog::PseudoLangId, 35);
    TLangFileImage kn = KindsNative(), kt = KindsTranslation();
    struct {
        const char* Name;
        const TLangFileImage* Native;
        const TLangFileImage* Tr;
    } cases[] = {{"de", &native, &de}, {"qps", &native, &qps}, {"kinds", &kn, &kt}, {"template", &native, nullptr}};
    for (const auto& c : cases) {
        std::string xlf = Write(std::string(c.Name) + ".xlf", Export(*c.Native, c.Tr));
        std::string ours = Write(std::string(c.Name) + ".po", Str(catalog::ExportPo(*c.Native, c.Tr, "app")));
        std::string theirs = (Scratch() / (std::string(c.Name) + "-xliff2po.po")).string();
        ASSERT_EQ(Shell("xliff2po --progress=none '" + xlf + "' '" + theirs + "'"), 0) << Stderr();
        std::string a = PoEntries(ours), b = PoEntries(theirs);
        EXPECT_GT(a.size(), 100u) << a;
        EXPECT_EQ(a, b) << c.Name;
    }
}
#endif

// An XLIFF as a CAT tool leaves it: targets changed and approved, states changed, alternatives,
// notes, context groups, segmentation, groups, a namespace of the tool's own. The edits come
// back; everything else is what it was.
TEST(Xliff, WhatACatToolChangedComesBackAndWhatItAddedIsReadPast) {
    TLangFileImage native = KindsNative(), tr = KindsTranslation();
    std::string x = Export(native, &tr);
    // A confirmed target changed: its line ends come back where they stood.
    x = Edit(x, "Zeile1\nZeile2\nZeile3</target>", "Zeile eins\nZeile zwei\nZeile drei</target>");
    // A translation approved.
    x = Edit(x, "resname=\"MainForm.Ok.Width\" xml:space=\"preserve\"",
             "resname=\"MainForm.Ok.Width\" xml:space=\"preserve\" approved=\"yes\"");
    x = Edit(x, "<target state=\"needs-review-translation\">90", "<target state=\"final\">90");
    // A confirmed one sent back for review (approved left as it was).
    x = Edit(x, "<target state=\"final\">Tsch", "<target state=\"needs-review-translation\">Tsch");
    // An untranslated one filled in with the state left as it was (a text editor): a
    // translation, not confirmed. Alternatives, notes, context and a tool's own element beside.
    x = Edit(x, "<target state=\"needs-translation\"></target>",
             "<target state=\"needs-translation\">Gut</target>\n"
             "        <alt-trans match-quality=\"98\" tool-id=\"vtploc\"><source>OK</source>"
             "<target xml:lang=\"de-DE\">Okay</target></alt-trans>\n"
             "        <note from=\"reviewer\" priority=\"2\">check the length</note>\n"
             "        <context-group purpose=\"location\"><context context-type=\"sourcefile\">main.dfm</context>"
             "</context-group>\n        <mq:extra xmlns:mq=\"urn:example:cat\" mq:x=\"1\">ignored</mq:extra>");
    // A segmented target with inline groups and a tool's element, units inside a group, a tool's
    // namespace on the root.
    x = Edit(x, "<xliff version=\"1.2\" ", "<xliff xmlns:cat=\"urn:example:cat\" cat:version=\"7\" version=\"1.2\" ");
    x = Edit(x, "<target state=\"final\">Eins\nZwei</target>",
             "<seg-source><mrk mtype=\"seg\" mid=\"1\">One</mrk>\n<mrk mtype=\"seg\" mid=\"2\">Two</mrk></seg-source>\n"
             "<target state=\"final\"><mrk mtype=\"seg\" mid=\"1\">Eins</mrk>\n<mrk mtype=\"seg\" mid=\"2\">"
             "<g id=\"g1\">Zw</g> <g id=\"g2\">ei</g></mrk><cat:hint>not text</cat:hint></target>");
    x = Edit(x, "<body>", "<body>\n      <group id=\"g\" restype=\"x-form\">");
    x = Edit(x, "    </body>", "      </group>\n    </body>");
    auto r = Read(x, native);
    EXPECT_TRUE(r.Skipped.empty());

    TLangFileImage expected = tr;
    auto set = [&](const char* path, auto&& change) { change(*const_cast<langres::TLFRecord*>(Find(expected, path))); };
    set("Main.SMixed", [](auto& rec) { rec.Value.Text = u"Zeile eins\r\nZeile zwei\nZeile drei"; });
    set("MainForm.Ok.Width", [](auto& rec) { rec.Flags |= langres::vfConfirmed; });
    set("Messages.Bye", [](auto& rec) { rec.Flags &= ~langres::vfConfirmed; });
    set("MainForm.Ok.Caption", [&](auto& rec) {
        rec.Value.Text = u"Gut";
        rec.Revision = Find(native, "MainForm.Ok.Caption")->Revision;
    });
    set("MainForm.Ok.Items", [](auto& rec) { rec.Value.Text = u"Eins\r\nZw ei"; });
    EXPECT_EQ(Diff(r.Image, expected), "");
    // Translated: the 12 of the translation and the one filled in; confirmed: SHello, SMixed,
    // Anchors, Items and the approved Width.
    EXPECT_EQ(r.Translated, 13u);
    EXPECT_EQ(r.Fuzzy, 8u);
}

// A file from another tool, without our facts: language from target-language (the locale
// table names it), confirmed by approved or a final state; UTF-16 with a byte-order mark reads
// the same as UTF-8.
TEST(Xliff, FilesFromOtherToolsAndOtherEncodingForms) {
    TLangFileImage native = KindsNative();
    std::string x =
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<xliff version=\"1.2\" "
        "xmlns=\"urn:oasis:names:tc:xliff:document:1.2\">\r\n"
        "<file original=\"x\" source-language=\"en\" target-language=\"pt-PT\" datatype=\"plaintext\"><body>\r\n"
        "<trans-unit id=\"1\" resname=\"Main.SHello\"><source>Hello</source><target state=\"translated\">Ol\xC3\xA1"
        "</target></trans-unit>\r\n"
        "<trans-unit id=\"2\" resname=\"Messages.Bye\" approved=\"yes\"><source>Bye</source><target>Adeus</target>"
        "</trans-unit>\r\n"
        "<trans-unit id=\"3\" resname=\"MainForm.Caption\"><source>Main</source><target "
        "state=\"needs-review-translation\">"
        "Principal</target></trans-unit>\r\n"
        "<trans-unit id=\"4\" "
        "resname=\"MainForm.Gone.Caption\"><source>Gone</source><target>Foi</target></trans-unit>\r\n"
        "</body></file></xliff>\r\n";
    auto r = Read(x, native);
    EXPECT_EQ(r.Image.Header.LangId, 0x0816);
    EXPECT_EQ(r.Image.Header.EnglishLangName, "Portuguese (Portugal)");
    EXPECT_EQ(r.Entries, 4u);
    EXPECT_EQ(r.Translated, 3u);
    EXPECT_EQ(r.Fuzzy, 1u);
    ASSERT_EQ(r.Skipped.size(), 1u);
    EXPECT_EQ(r.Skipped[0],
              "t.xlf:7: unit \"MainForm.Gone.Caption\": no such item in the native dictionary; "
              "obsolete, skipped");
    EXPECT_EQ(Find(r.Image, "Main.SHello")->Value.Text, u"Ol\u00e1");
    EXPECT_TRUE(Find(r.Image, "Main.SHello")->Flags & langres::vfConfirmed);
    EXPECT_TRUE(Find(r.Image, "Messages.Bye")->Flags & langres::vfConfirmed);
    EXPECT_FALSE(Find(r.Image, "MainForm.Caption")->Flags & langres::vfConfirmed);
    EXPECT_EQ(Read(x, native, 0x0407).Image.Header.LangId, 0x0407);  // --lang wins

    // The same in UTF-16, both byte orders.
    std::u16string w = fw::Utf8ToUtf16(Edit(x, "encoding=\"utf-8\"", "encoding=\"UTF-16\""));
    for (bool le : {true, false}) {
        std::string bytes = le ? "\xFF\xFE" : "\xFE\xFF";
        for (char16_t c : w) {
            char lo = static_cast<char>(c & 0xFF), hi = static_cast<char>(c >> 8);
            bytes += le ? std::string{lo, hi} : std::string{hi, lo};
        }
        auto u = Read(bytes, native);
        EXPECT_EQ(Diff(u.Image, r.Image), "") << le;
        EXPECT_EQ(u.Skipped, r.Skipped);
    }
}

// Input that is not what it claims: refused with the file and line, never half read.
TEST(Xliff, MalformedFilesAreRefusedWithTheLine) {
    TLangFileImage native = KindsNative(), tr = KindsTranslation();
    const std::string good = Export(native, &tr);
    const std::string unitStart = "      <trans-unit id=\"Main.SHello\"";
    auto lineOf = [&](const std::string& text, const std::string& what) {
        return std::to_string(1 + std::count(text.begin(), text.begin() + static_cast<long>(text.find(what)), '\n'));
    };
    const std::string helloLine = lineOf(good, unitStart);
    struct {
        std::string Text, Error;
    } cases[] = {
        {Edit(good, "<source>Hello</source>", "<source>Hello</sorce>"),
         "t.xlf:" + std::to_string(std::stoi(helloLine) + 1) + ": not well-formed XML: "},
        {Edit(good, "<source>Hello</source>", "<source>Hello &nbsp;</source>"),
         "t.xlf:" + std::to_string(std::stoi(helloLine) + 1) + ": the entity &nbsp; is not declared"},
        {Edit(good, "<source>Hello</source>", "<source>Hello &#1;</source>"),
         "t.xlf:" + std::to_string(std::stoi(helloLine) + 1) + ": the reference &#1; is no character XML allows"},
        {Edit(good, "<source>Hello</source>", "<source>Hello \x01</source>"),
         "t.xlf:" + std::to_string(std::stoi(helloLine) + 1) + ": a character XML does not allow (U+0001)"},
        {Edit(good, "<source>Hello</source>", "<source>Hello \xE9</source>"),
         "t.xlf:" + std::to_string(std::stoi(helloLine) + 1) + ": not UTF-8 text (byte 0xE9)"},
        {Edit(good, "<source>Hello</source>", "<source>Hello & bye</source>"),
         "t.xlf:" + std::to_string(std::stoi(helloLine) + 1) + ": a \"&\" that starts no reference"},
        {Edit(good, "<source>Hello</source>", ""),
         "t.xlf:" + helloLine + ": trans-unit \"Main.SHello\" has no <source>"},
        {Edit(good, " resname=\"Main.SHello\"", ""),
         "t.xlf:" + helloLine + ": trans-unit \"Main.SHello\" has no resname"},
        {Edit(good, "resname=\"Messages.Bye\"", "resname=\"Main.SHello\""),
         "t.xlf:" + lineOf(good, "resname=\"Messages.Bye\"") +
             ": a second unit for \"Main.SHello\"; the first: t.xlf:" + helloLine},
        {Edit(good, " xml:space=\"preserve\" approved=\"yes\"", " approved=\"yes\" approved=\"no\""),
         "t.xlf:" + helloLine + ": the attribute \"approved\" is given twice"},
        {Edit(good, "<source>Hello</source>", "<x:source>Hello</x:source>"),
         "t.xlf:" + std::to_string(std::stoi(helloLine) + 1) + ": the prefix \"x\" is bound to no namespace"},
        {Edit(good, "  </file>",
              "  </file>\n  <file original=\"b\" source-language=\"en\" datatype=\"winres\"><body/></file>"),
         "t.xlf:" + std::to_string(std::stoi(lineOf(good, "  </file>")) + 1) + ": a second <file>"},
        {Edit(good, "urn:oasis:names:tc:xliff:document:1.2", "urn:oasis:names:tc:xliff:document:2.0"),
         "t.xlf:2: XLIFF 2 is not read"},
        {Edit(good, "<xliff ", "<xlf "), "t.xlf:" + lineOf(good, "</xliff>") + ": not well-formed XML: "},
        {"<?xml version=\"1.0\"?>\n<html><body/></html>\n", "t.xlf:2: not an XLIFF 1.2 file"},
        {Edit(good, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n",
              "<?xml version=\"1.0\"?>\n<!DOCTYPE xliff [<!ENTITY a \"b\">]>\n"),
         "t.xlf:2: a document type with declarations of its own is not read"},
        {Edit(good, "encoding=\"UTF-8\"", "encoding=\"ISO-8859-1\""),
         "t.xlf:1: the encoding \"ISO-8859-1\" is not read; save the file as UTF-8"},
        {good + "<xliff version=\"1.2\"/>\n",
         "t.xlf:" + std::to_string(std::stoi(lineOf(good, "</xliff>")) + 1) + ": not well-formed XML: a second root"},
        {good + "text after\n",
         "t.xlf:" + std::to_string(std::stoi(lineOf(good, "</xliff>")) + 1) + ": not well-formed XML: text after"},
        {"", "t.xlf:1: not well-formed XML: no element"},
        {good.substr(0, good.size() / 2), "t.xlf:"},
    };
    for (const auto& c : cases) {
        std::string err = Error([&] { Read(c.Text, native); });
        EXPECT_EQ(err.rfind(c.Error, 0), 0u) << "expected \"" << c.Error << "\", got \"" << err << "\"";
    }
    EXPECT_NE(Error([&] { catalog::ImportXliff((Scratch() / "none.xlf").string(), native, 0); }).find(": no such file"),
              std::string::npos);
}

// restype from the component's class: the program's own classes where given, else what the
// path tells (forms, string tables, unnamed components); a class XLIFF has no name for is
// "x-Class"; collection items and externals have none.
TEST(Xliff, ResTypeFromTheComponentsClass) {
    Program p;
    p.Strings = {{100, u"Hello"}};
    p.RCData = {{"TMAINFORM", FormResource("object MainForm: TMainForm\n  Caption = 'Main'\n"
                                           "  object OkButton: TButton\n    Caption = 'OK'\n  end\n"
                                           "  object Agree: TCheckBox\n    Caption = 'Agree'\n  end\n"
                                           "  object Count: TSpinEdit\n    Hint = 'How many'\n  end\n"
                                           "  object Bar: TStatusBar\n    Panels = <\n      item\n"
                                           "        Text = 'Ready'\n      end>\n  end\n"
                                           "  object Box: TGroupBox\n    Caption = 'Options'\n"
                                           "    object TLabel\n      Caption = 'Unnamed'\n    end\n  end\nend\n")}};
    resources::TResProcessor program;
    auto bytes = p.Module();
    std::string exe = Write("restype.exe", Str(bytes));
    program.LoadFromFile(exe);
    catalog::TExtractOptions opt;
    auto ex = catalog::ExtractNative(program, exe, opt);
    TLangFileImage native = ex.Image;
    catalog::TXliffOptions xo;
    xo.Classes = ex.Classes;
    std::string x = Str(catalog::ExportXliff(native, nullptr, xo));
    std::map<std::string, std::string> want = {{"Strings.S100", "string"},
                                               {"MainForm.Caption", "dialog"},
                                               {"MainForm.OkButton.Caption", "button"},
                                               {"MainForm.Agree.Caption", "checkbox"},
                                               {"MainForm.Count.Hint", "x-TSpinEdit"},
                                               {"MainForm.Box.Caption", "groupbox"},
                                               {"MainForm.Box.TLabel1.Caption", "label"},
                                               {"MainForm.Bar.Panels[0].Text", ""}};
    for (const auto& [path, type] : want) {
        std::string u = Unit(x, path);
        ASSERT_FALSE(u.empty()) << path << "\n" << x;
        if (type.empty()) {
            EXPECT_EQ(u.find("restype="), std::string::npos) << u;
        } else {
            EXPECT_NE(u.find("restype=\"" + type + "\""), std::string::npos) << u;
        }
    }
    // Without the program: the unnamed label still by its key, named components without one.
    std::string bare = Export(native, nullptr);
    EXPECT_NE(Unit(bare, "MainForm.Box.TLabel1.Caption").find("restype=\"label\""), std::string::npos);
    EXPECT_EQ(Unit(bare, "MainForm.OkButton.Caption").find("restype="), std::string::npos);
    EXPECT_EQ(catalog::XliffResType("TRadioButton"), "radio");
    EXPECT_EQ(catalog::XliffResType("TMenuItem"), "menuitem");
    EXPECT_EQ(catalog::XliffResType("TListBox"), "listbox");
    EXPECT_EQ(catalog::XliffResType("TComboBox"), "combobox");
    EXPECT_EQ(catalog::XliffResType("TEdit"), "edit");
}
