// The translation check on hand-made programs and translations, each with its fault: fit in
// the control's room (measured by a stand-in of fixed glyph widths, so the rules show plainly),
// accelerators, format specifiers, blanks, consistency; the report and its lines.
#include <gtest/gtest.h>

#include <map>

#include "CatalogTestUtil.h"
#include "localizer/catalog/Check.h"

using namespace cattest;
using catalog::TCheckKind;
using catalog::TCheckLevel;
using catalog::TFinding;

namespace {

// Every character 6 pixels wide in any font at 8 points, scaled by the em height; lines 13 high.
class TFixedMeasure : public catalog::measure::ITextMeasure {
public:
    catalog::measure::TTextSize Extent(const catalog::measure::TFontDesc& f, std::u16string_view line) override {
        int em = f.Height < 0 ? -f.Height : f.Height;
        ++calls;
        lastFont = f;
        return {static_cast<int>(line.size()) * 6 * em / 11 + (f.Bold ? static_cast<int>(line.size()) : 0),
                13 * em / 11};
    }
    std::string FaceName(const catalog::measure::TFontDesc& f) override {
        return f.Name == "Segoe UI" ? "Tahoma" : f.Name;
    }
    bool Available() const override { return true; }
    int calls = 0;
    catalog::measure::TFontDesc lastFont;
};

const char* const kForm = R"(object OptionsForm: TOptionsForm
  Width = 316
  Height = 231
  Caption = 'Options'
  Font.Name = 'Tahoma'
  Font.Height = -11
  Menu = MainMenu1
  object SaveButton: TButton
    Left = 8
    Top = 8
    Width = 75
    Height = 25
    Caption = '&Save'
  end
  object SizeButton: TButton
    Left = 8
    Top = 40
    Caption = 'Size'
  end
  object BigButton: TButton
    Left = 100
    Top = 8
    Width = 60
    Caption = 'Wide'
    Font.Name = 'Segoe UI'
    Font.Height = -22
  end
  object WrapCheck: TCheckBox
    Left = 8
    Top = 70
    Width = 80
    Caption = '&Wrap lines'
  end
  object NameLabel: TLabel
    Left = 8
    Top = 100
    Caption = '&Name:'
  end
  object NameEdit: TEdit
    Left = 60
    Top = 96
    Width = 100
  end
  object Group: TGroupBox
    Left = 170
    Top = 40
    Width = 120
    Height = 80
    Caption = 'View'
    object FarLabel: TLabel
      Left = 70
      Top = 20
      Caption = 'Far'
    end
    object TinyButton: TButton
      Left = 8
      Top = 44
      Width = 40
      Caption = 'Too long already'
    end
  end
  object Status: TStatusBar
    Panels = <
      item
        Text = 'Ready'
        Width = 60
      end
      item
        Text = 'Line'
      end>
  end
  object MainMenu1: TMainMenu
    object FileItem: TMenuItem
      Caption = '&File'
      object OpenItem: TMenuItem
        Caption = '&Open...'
      end
      object OptionsItem: TMenuItem
        Caption = 'O&ptions'
      end
    end
    object HelpItem: TMenuItem
      Caption = '&Help'
    end
  end
end
)";

struct Fixture {
    resources::TResProcessor program;
    catalog::TLangFileImage native, translation;
    TFixedMeasure measure;

    explicit Fixture(const std::vector<std::pair<uint16_t, std::u16string>>& strings = {}) {
        Program p;
        p.Strings = strings;
        p.RCData.push_back({"TOPTIONSFORM", FormBinary(kForm)});
        p.Fill(program);
        native = catalog::ExtractNative(program, "app.exe", {}).Image;
        translation = native;
        translation.Header.IsNative = 0;
        translation.Header.LangId = 0x0407;
        for (auto& it : catalog::Items(translation)) it.Record->Revision = -1;  // untranslated
    }
    void Translate(const std::string& path, const std::u16string& text) {
        const langres::TLFRecord* r = Find(translation, path);
        ASSERT_NE(r, nullptr) << path;
        auto* rec = const_cast<langres::TLFRecord*>(r);
        rec->Value.Text = text;
        rec->Revision = 1;
    }
    catalog::TCheckResult Run() {
        catalog::TCheckOptions o;
        o.Measure = &measure;
        return catalog::CheckTranslation(program, native, translation, o);
    }
};

std::vector<const TFinding*> Of(const catalog::TCheckResult& r, const std::string& item) {
    std::vector<const TFinding*> v;
    for (const auto& f : r.Findings)
        if (f.Item == item) v.push_back(&f);
    return v;
}

}  // namespace

TEST(Check, UntranslatedTextsAreNotChecked) {
    Fixture fx;
    auto r = fx.Run();
    EXPECT_TRUE(r.Findings.empty());
    EXPECT_EQ(r.Texts, 0u);
}

TEST(Check, ButtonOverflowAndCrowdedInItsOwnRoom) {
    Fixture fx;
    // 75 px wide button: 69 px of room; 6 px per drawn character ("&" not drawn).
    fx.Translate("OptionsForm.SaveButton.Caption", u"&Speichern unter");             // 15 drawn: 90 px
    fx.Translate("OptionsForm.SizeButton.Caption", u"Gr\u00f6\u00dfe \u00e4ndern");  // default width 75: 12 -> 72 px
    auto r = fx.Run();
    auto save = Of(r, "OptionsForm.SaveButton.Caption");
    ASSERT_EQ(save.size(), 1u);
    EXPECT_EQ(save[0]->Level, TCheckLevel::Overflow);
    EXPECT_EQ(save[0]->TextPx, 90);
    EXPECT_EQ(save[0]->AreaPx, 69);
    EXPECT_EQ(save[0]->Font, "Tahoma 8");
    EXPECT_FALSE(save[0]->NativeOverflows);
    EXPECT_EQ(catalog::FindingLine("app.exe", *save[0]),
              "app.exe:OptionsForm.SaveButton.Caption: overflow: '&Speichern unter' 90 px in 69 px (Tahoma 8)");
    auto size = Of(r, "OptionsForm.SizeButton.Caption");
    ASSERT_EQ(size.size(), 1u);
    EXPECT_EQ(size[0]->Level, TCheckLevel::Overflow);  // the class's default width holds
    EXPECT_EQ(size[0]->AreaPx, 69);

    fx.Translate("OptionsForm.SizeButton.Caption", u"Gr\u00f6\u00dfe \u00e4nder");  // 11 -> 66 of 69: crowded
    r = fx.Run();
    size = Of(r, "OptionsForm.SizeButton.Caption");
    ASSERT_EQ(size.size(), 1u);
    EXPECT_EQ(size[0]->Level, TCheckLevel::Crowded);
    fx.Translate("OptionsForm.SizeButton.Caption", u"Gr\u00f6\u00dfe");  // 30 of 69: fine
    EXPECT_TRUE(Of(fx.Run(), "OptionsForm.SizeButton.Caption").empty());
}

TEST(Check, OwnFontOverParentAndSubstituteNamed) {
    Fixture fx;
    fx.Translate("OptionsForm.BigButton.Caption", u"Breit");  // 5 chars at em 22: 60 px in 54
    auto r = fx.Run();
    auto big = Of(r, "OptionsForm.BigButton.Caption");
    ASSERT_EQ(big.size(), 1u);
    EXPECT_EQ(big[0]->TextPx, 60);
    EXPECT_EQ(big[0]->Font, "Segoe UI 17");
    EXPECT_EQ(big[0]->Face, "Tahoma");
    EXPECT_FALSE(big[0]->NativeOverflows);  // "Wide": 48 of 54
}

TEST(Check, NativeOverflowIsTheFormsFault) {
    Fixture fx;
    fx.Translate("OptionsForm.TinyButton.Caption", u"Schon zu lang");
    auto r = fx.Run();
    auto tiny = Of(r, "OptionsForm.TinyButton.Caption");
    ASSERT_EQ(tiny.size(), 1u);
    EXPECT_TRUE(tiny[0]->NativeOverflows);
    EXPECT_NE(catalog::FindingLine("app.exe", *tiny[0]).find("does not fit either (a fault of the form)"),
              std::string::npos);
}

TEST(Check, CheckBoxLeavesRoomForItsBox) {
    Fixture fx;
    fx.Translate("OptionsForm.WrapCheck.Caption", u"&Umbrechen.");  // 10 drawn: 60 px in 80-18 = 62: crowded
    auto c = Of(fx.Run(), "OptionsForm.WrapCheck.Caption");
    ASSERT_EQ(c.size(), 1u);
    EXPECT_EQ(c[0]->Level, TCheckLevel::Crowded);
    EXPECT_EQ(c[0]->AreaPx, 62);
}

TEST(Check, GrowingLabelRunsIntoSiblingOrPastParent) {
    Fixture fx;
    fx.Translate("OptionsForm.NameLabel.Caption", u"&Benutzername:");  // 13 drawn = 78 px from 8: into the edit at 60
    fx.Translate("OptionsForm.FarLabel.Caption", u"Weit weg hier");    // 78 px from 70+170 past 290
    auto r = fx.Run();
    auto name = Of(r, "OptionsForm.NameLabel.Caption");
    ASSERT_EQ(name.size(), 1u);
    EXPECT_EQ(name[0]->Message, "runs into NameEdit");
    EXPECT_EQ(name[0]->AreaPx, 52);
    auto far = Of(r, "OptionsForm.FarLabel.Caption");
    ASSERT_EQ(far.size(), 1u);
    EXPECT_EQ(far[0]->Message, "runs past its parent");
    EXPECT_EQ(far[0]->AreaPx, 50);
}

TEST(Check, StatusPanelsAndMenuBar) {
    Fixture fx;
    fx.Translate("OptionsForm.Status.Panels[0].Text", u"Bereit zum Arbeiten");  // 114 in 54
    fx.Translate("OptionsForm.FileItem.Caption", u"&Datei mit sehr langem Namen und noch mehr Text");
    auto r = fx.Run();
    auto p = Of(r, "OptionsForm.Status.Panels[0].Text");
    ASSERT_EQ(p.size(), 1u);
    EXPECT_EQ(p[0]->AreaPx, 54);
    // The menu bar: form client width 300; items (46 drawn = 276) + 16 and "Help" 24 + 16 = 332.
    auto help = Of(r, "OptionsForm.HelpItem.Caption");
    EXPECT_TRUE(help.empty());  // not translated: not reported, though it wraps
    fx.Translate("OptionsForm.HelpItem.Caption", u"&Hilfe");
    r = fx.Run();
    help = Of(r, "OptionsForm.HelpItem.Caption");
    ASSERT_EQ(help.size(), 1u);
    EXPECT_EQ(help[0]->Level, TCheckLevel::Overflow);
    EXPECT_EQ(help[0]->Message, "the menu bar needs a second row");
}

TEST(Check, Accelerators) {
    Fixture fx;
    fx.Translate("OptionsForm.SaveButton.Caption", u"Sichern");            // lost
    fx.Translate("OptionsForm.WrapCheck.Caption", u"&Zeilen &umbrechen");  // two
    fx.Translate("OptionsForm.OpenItem.Caption", u"&\u00d6ffnen...");
    fx.Translate("OptionsForm.OptionsItem.Caption", u"&\u00f6ptionen");  // same letter, one menu level
    fx.Translate("OptionsForm.HelpItem.Caption", u"&Hilfe");             // other level: fine
    auto r = fx.Run();
    auto save = Of(r, "OptionsForm.SaveButton.Caption");
    ASSERT_EQ(save.size(), 1u);
    EXPECT_EQ(save[0]->Check, TCheckKind::Accelerator);
    EXPECT_EQ(save[0]->Level, TCheckLevel::Error);
    EXPECT_EQ(Of(r, "OptionsForm.WrapCheck.Caption").at(0)->Message, "2 accelerators");
    auto opt = Of(r, "OptionsForm.OptionsItem.Caption");
    ASSERT_EQ(opt.size(), 1u);
    EXPECT_NE(opt[0]->Message.find("also marks '&\xc3\x96"
                                   "ffnen...' at OptionsForm.OpenItem.Caption"),
              std::string::npos)
        << opt[0]->Message;
    EXPECT_TRUE(Of(r, "OptionsForm.HelpItem.Caption").empty());
    EXPECT_TRUE(Of(r, "OptionsForm.OpenItem.Caption").empty());
}

TEST(Check, FormatSpecifiersAndBlanks) {
    Fixture fx({{100, u"%d files in %s"},
                {101, u"Copying %0:s to %1:s..."},
                {102, u"Name: "},
                {103, u"Line one\r\nLine two"},
                {104, u"100%% done %s"}});
    fx.Translate("Strings.S100", u"%s Dateien in %d");               // order swapped without indexes
    fx.Translate("Strings.S101", u"Kopiere nach %1:s von %0:s...");  // indexes may move
    fx.Translate("Strings.S102", u"Name");                           // lost ": "
    fx.Translate("Strings.S103", u"Zeile eins Zeile zwei");          // lost line break
    fx.Translate("Strings.S104", u"100%% fertig %s");                // "%%" is no specifier
    auto r = fx.Run();
    auto s100 = Of(r, "Strings.S100");
    ASSERT_EQ(s100.size(), 1u);
    EXPECT_EQ(s100[0]->Check, TCheckKind::Format);
    EXPECT_EQ(s100[0]->Message, "format specifiers %s %d; the native text has %d %s");
    EXPECT_TRUE(Of(r, "Strings.S101").empty());
    EXPECT_TRUE(Of(r, "Strings.S104").empty());
    auto s102 = Of(r, "Strings.S102");
    ASSERT_EQ(s102.size(), 2u);  // trailing blank and colon
    EXPECT_EQ(s102[0]->Check, TCheckKind::Blanks);
    EXPECT_EQ(s102[0]->Level, TCheckLevel::Warning);
    auto s103 = Of(r, "Strings.S103");
    ASSERT_EQ(s103.size(), 1u);
    EXPECT_EQ(s103[0]->Message, "0 line breaks; the native text has 1");
    EXPECT_EQ(catalog::FormatSpecifiers(u"%-10.2f %*d %0:s %% %x"),
              (std::vector<std::u16string>{u"%-10.2f", u"%*d", u"%0:s", u"%x"}));
}

TEST(Check, OneNativeTextTranslatedTwoWays) {
    Fixture fx({{100, u"Options"}, {101, u"Options"}, {102, u"Options"}});
    fx.Translate("Strings.S100", u"Optionen");
    fx.Translate("Strings.S101", u"Einstellungen");
    fx.Translate("Strings.S102", u"Optionen");
    auto r = fx.Run();
    EXPECT_TRUE(Of(r, "Strings.S100").empty());
    auto s101 = Of(r, "Strings.S101");
    ASSERT_EQ(s101.size(), 1u);
    EXPECT_EQ(s101[0]->Check, TCheckKind::Consistency);
    EXPECT_EQ(s101[0]->Message, "'Options' is translated 'Optionen' at Strings.S100");
}

TEST(Check, JsonLinesCarryTheFields) {
    Fixture fx;
    fx.Translate("OptionsForm.SaveButton.Caption", u"&Speichern unter \"x\"");
    auto r = fx.Run();
    auto save = Of(r, "OptionsForm.SaveButton.Caption");
    ASSERT_FALSE(save.empty());
    std::string j = catalog::FindingJson("app.exe", *save[0]);
    EXPECT_EQ(j.find('\n'), std::string::npos);
    for (const char* field :
         {"\"item\":\"OptionsForm.SaveButton.Caption\"", "\"check\":\"fit\"", "\"level\":\"overflow\"",
          "\"text\":\"&Speichern unter \\\"x\\\"\"", "\"text_px\":", "\"area_px\":69", "\"font\":\"Tahoma 8\""})
        EXPECT_NE(j.find(field), std::string::npos) << field << " in " << j;
}

TEST(Check, ReportDrawsTheFormWithTheFindingMarked) {
    Fixture fx;
    fx.Translate("OptionsForm.SaveButton.Caption", u"&Speichern <unter>");
    auto r = fx.Run();
    std::string html = catalog::CheckReportHtml("app.exe", r);
    EXPECT_NE(html.find("<svg"), std::string::npos);
    EXPECT_NE(html.find("stroke=\"#d0021b\""), std::string::npos);
    EXPECT_NE(html.find("Speichern &lt;unter&gt;"), std::string::npos);
    EXPECT_EQ(html.find("<unter>"), std::string::npos);
}

TEST(Check, LayoutExposesWidthAndFontPerItem) {
    Fixture fx;
    std::vector<std::string> notes;
    auto forms = catalog::ReadFormLayouts(fx.program, 0x0409, notes);
    ASSERT_EQ(forms.size(), 1u);
    std::map<std::string, const catalog::TItemLayout*> byPath;
    for (const auto& it : forms[0].Items) byPath[it.Path] = &it;
    ASSERT_TRUE(byPath.count("OptionsForm.SaveButton.Caption"));
    EXPECT_EQ(byPath["OptionsForm.SaveButton.Caption"]->AreaWidth, 69);
    EXPECT_EQ(byPath["OptionsForm.SaveButton.Caption"]->Font.Name, "Tahoma");
    EXPECT_EQ(byPath["OptionsForm.BigButton.Caption"]->Font.Height, -22);
    EXPECT_EQ(forms[0].ClientWidth, 300);
    // The status bar lies along the form's bottom, across its width.
    const auto& status = forms[0].Boxes[static_cast<size_t>(byPath["OptionsForm.Status.Panels[1].Text"]->Box)];
    EXPECT_EQ(status.Box.Width, 300);
    EXPECT_EQ(byPath["OptionsForm.Status.Panels[1].Text"]->AreaWidth, 300 - 60 - 16 - 6);
}

TEST(Check, FramesInFramesEnd) {
    // A frame that holds itself inline, and two that hold each other: laid out once each.
    Program p;
    p.RCData.push_back(
        {"TSELFFRAME", FormBinary("object SelfFrame: TSelfFrame\n  inline Inner: TSelfFrame\n"
                                  "    Left = 4\n  end\n  object L: TLabel\n    Caption = 'x'\n  end\nend\n")});
    p.RCData.push_back({"TAFRAME", FormBinary("object AFrame: TAFrame\n  inline B1: TBFrame\n  end\nend\n")});
    p.RCData.push_back({"TBFRAME", FormBinary("object BFrame: TBFrame\n  inline A1: TAFrame\n  end\n"
                                              "  object Go: TButton\n    Caption = 'Go'\n  end\nend\n")});
    resources::TResProcessor program;
    p.Fill(program);
    std::vector<std::string> notes;
    auto forms = catalog::ReadFormLayouts(program, 0x0409, notes);
    ASSERT_EQ(forms.size(), 3u);
    EXPECT_EQ(forms[0].Boxes.size(), 3u);  // the form, Inner (not expanded again), L
    EXPECT_EQ(forms[1].Boxes.size(), 4u);  // AFrame, B1 with A1 (not expanded) and Go
}
