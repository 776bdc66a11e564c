// Carrying translations to a new native dictionary, statistics and pseudo texts.
#include <gtest/gtest.h>

#include "CatalogTestUtil.h"
#include "localizer/langres/LangRes.h"

using namespace cattest;
using catalog::TLangFileImage;
using langres::TLFRecord;

namespace {

TLFRecord Rec(const std::string& name, uint32_t id, const std::u16string& text, int32_t revision, uint16_t flags = 0,
              uint32_t kind = langres::vkString) {
    TLFRecord r;
    r.Name = name;
    r.Id = id;
    r.Kind = kind;
    r.Value.Present = true;
    r.Value.Text = text;
    r.Revision = revision;
    r.Flags = flags;
    return r;
}

// Native revision 2: "Open" changed at revision 2, "Close" unchanged since 1, "Help" new.
TLangFileImage Native() {
    TLangFileImage n;
    n.Header.Revision = 2;
    n.Header.IsNative = 1;
    n.Header.LangId = 0x0409;
    n.Header.LastPropertyId = 6;
    n.Header.LastConstantId = 2;
    langres::TLFUnit u{"Strings", 1, {}};
    u.Constants.push_back(Rec("SHello", 1, u"Hello", 1));
    u.Constants.push_back(Rec("SRenamed", 2, u"Bye", 1));
    u.Constants[0].ResId = 100;
    u.Constants[1].ResId = 101;
    n.Units.push_back(u);
    langres::TLFForm f{"MainForm", 0, {Rec("Caption", 1, u"Main", 1)}, {}};
    f.Components.push_back({"CloseButton", 0, {Rec("Caption", 2, u"Close", 1)}});
    f.Components.push_back({"HelpButton", 0, {Rec("Caption", 6, u"Help", 2)}});
    f.Components.push_back({"OpenButton", 0, {Rec("Caption", 3, u"Open it", 2)}});
    n.Forms.push_back(f);
    return n;
}

// A German translation made at revision 1.
TLangFileImage German() {
    TLangFileImage g;
    g.Header.Revision = 1;
    g.Header.LangId = 0x0407;
    g.Header.Build = 9;
    g.Header.EnglishLangName = "German";
    g.Header.NativeLangName = u"Deutsch";
    langres::TLFUnit u{"Strings", 1, {}};
    u.Constants.push_back(Rec("SHello", 1, u"Hallo", 1, langres::vfConfirmed));
    u.Constants.push_back(Rec("SBye", 2, u"Tsch\u00FCss", 1, langres::vfConfirmed));  // renamed since
    g.Units.push_back(u);
    langres::TLFForm f{"MainForm", 0, {Rec("Caption", 1, u"Haupt", 1, langres::vfConfirmed)}, {}};
    f.Components.push_back({"CloseButton", 0, {Rec("Caption", 2, u"Schlie\u00DFen", 1, langres::vfConfirmed)}});
    f.Components.push_back({"GoneButton", 0, {Rec("Caption", 4, u"Weg", 1, langres::vfConfirmed)}});
    f.Components.push_back({"OpenButton", 0, {Rec("Caption", 3, u"\u00D6ffnen", 1, langres::vfConfirmed)}});
    f.Components.push_back({"Untranslated", 0, {Rec("Caption", 5, u"x", -1)}});
    g.Forms.push_back(f);
    return g;
}

}  // namespace

TEST(Update, CarriesTranslationsByPathThenId) {
    TLangFileImage native = Native();
    catalog::TUpdateCounts c;
    TLangFileImage out = catalog::UpdateTranslation(native, German(), c);
    EXPECT_EQ(c.Translated, 4u);    // SHello, SRenamed (by id), Caption, CloseButton
    EXPECT_EQ(c.Unconfirmed, 1u);   // OpenButton: its native text changed
    EXPECT_EQ(c.Untranslated, 1u);  // HelpButton
    EXPECT_EQ(c.Obsolete, 2u);      // GoneButton, Untranslated
    EXPECT_EQ(Paths(out), Paths(native));
    EXPECT_EQ(Find(out, "Strings.SRenamed")->Value.Text, u"Tsch\u00FCss");
    const TLFRecord* open = Find(out, "MainForm.OpenButton.Caption");
    EXPECT_EQ(open->Value.Text, u"\u00D6ffnen");
    EXPECT_EQ(open->Revision, 1);
    EXPECT_EQ(open->Flags & langres::vfConfirmed, 0);
    EXPECT_EQ(Find(out, "MainForm.CloseButton.Caption")->Flags, langres::vfConfirmed);
    const TLFRecord* help = Find(out, "MainForm.HelpButton.Caption");
    EXPECT_EQ(help->Revision, -1);
    EXPECT_EQ(help->Value.Text, u"Help");
    EXPECT_EQ(help->Id, 6u);
    EXPECT_EQ(out.Header.LangId, 0x0407);
    EXPECT_EQ(out.Header.EnglishLangName, "German");
    EXPECT_EQ(out.Header.Build, 9u);
    EXPECT_EQ(out.Header.Revision, 2u);
    EXPECT_EQ(out.Header.IsNative, 0);
    EXPECT_EQ(out.Header.LastPropertyId, 6u);

    // A property whose kind changed is not carried over.
    TLangFileImage g = German();
    g.Forms[0].Components[0].Properties[0].Kind = langres::vkStringList;
    g.Forms[0].Components[0].Properties[0].Id = 99;
    out = catalog::UpdateTranslation(native, g, c);
    EXPECT_EQ(Find(out, "MainForm.CloseButton.Caption")->Revision, -1);
    EXPECT_EQ(c.Obsolete, 3u);
}

TEST(Stats, CountsPerSectionAndInAll) {
    TLangFileImage native = Native();
    catalog::TUpdateCounts c;
    TLangFileImage out = catalog::UpdateTranslation(native, German(), c);
    catalog::TStats s = catalog::Statistics(out, &native);
    ASSERT_EQ(s.Lines.size(), 2u);
    EXPECT_EQ(s.Lines[0].Section, "unit");
    EXPECT_EQ(s.Lines[0].Total, 2u);
    EXPECT_EQ(s.Lines[0].Translated, 2u);
    EXPECT_EQ(s.Lines[0].Confirmed, 2u);
    EXPECT_EQ(s.Lines[1].Name, "MainForm");
    EXPECT_EQ(s.Lines[1].Total, 4u);
    EXPECT_EQ(s.Lines[1].Translated, 3u);
    EXPECT_EQ(s.Lines[1].Outdated, 1u);
    EXPECT_EQ(s.Lines[1].Confirmed, 2u);
    EXPECT_EQ(s.All.Total, 6u);
    EXPECT_EQ(s.All.Translated, 5u);
    EXPECT_NEAR(s.Percent(), 500.0 / 6, 1e-9);
    // The old file alone: its own records, the untranslated one not counted as translated.
    TLangFileImage g = German();
    s = catalog::Statistics(g, nullptr);
    EXPECT_EQ(s.All.Total, 7u);
    EXPECT_EQ(s.All.Translated, 6u);
    // Against the native dictionary, translations are found by id as the reader does.
    s = catalog::Statistics(g, &native);
    EXPECT_EQ(s.All.Total, 6u);
    EXPECT_EQ(s.All.Translated, 5u);  // all but HelpButton (id 6)
    EXPECT_EQ(s.All.Outdated, 1u);
}

TEST(Pseudo, KeepsSpecifiersAcceleratorsBreaksAndBlanks) {
    EXPECT_EQ(catalog::PseudoText(u"Save file", 35), u"[Såvé fîlé\u00B7\u00B7\u00B7\u00B7]");
    EXPECT_EQ(catalog::PseudoText(u"&Open %s", 0), u"[&Oþéñ %s]");
    EXPECT_EQ(catalog::PseudoText(u"%0:s of %d%% %-10.2f %.8x", 0), u"[%0:s öf %d%% %-10.2f %.8x]");
    // An indexed specifier is one specifier, its type letter included (one the accents change).
    EXPECT_EQ(catalog::PseudoText(u"%0:d of %1:u files", 0), u"[%0:d öf %1:u fîlés]");
    EXPECT_EQ(catalog::PseudoText(u"%0:d %1:u", 35), u"%0:d %1:u");  // no word: left as it is
    EXPECT_EQ(catalog::PseudoText(u"  Line one\r\nline two \n", 0),
              u"  [Lîñé öñé\r\nlîñé twö]"
              u" \n");
    EXPECT_EQ(catalog::PseudoText(u"   ", 35), u"   ");
    EXPECT_EQ(catalog::PseudoText(u"", 35), u"");
    EXPECT_EQ(catalog::PseudoText(u"a && b", 0), u"[å && b]");
    // File filters: each description changes on its own, the masks stay exactly as they were.
    EXPECT_EQ(catalog::PseudoText(u"Text files|*.txt|All|*.*", 0), u"[Téxt fîlés]|*.txt|[Àll]|*.*");
    EXPECT_EQ(catalog::PseudoText(u"Text files|*.txt;*.log|All|*.*", 35),
              u"[Téxt fîlés\u00B7\u00B7\u00B7\u00B7]|*.txt;*.log|[Àll\u00B7\u00B7]|*.*");
    EXPECT_EQ(catalog::PseudoText(u"a|b", 0), u"[å]|[b]");
}

TEST(Pseudo, EveryTextOfTheDictionaryChanges) {
    TLangFileImage native = Native();
    native.Forms[0].Components[0].Properties.push_back(
        Rec("Items.Strings", 7, u"One\r\nTwo", 1, 0, langres::vkStringList));
    TLangFileImage p = catalog::PseudoTranslation(native, catalog::PseudoLangId, 35);
    EXPECT_EQ(p.Header.LangId, 0x0501);
    EXPECT_EQ(p.Header.IsNative, 0);
    EXPECT_EQ(Find(p, "MainForm.CloseButton.Items.Strings")->Value.Text, u"[Öñé··]\r\n[Twö··]");
    for (const auto& it : catalog::Items(p)) {
        EXPECT_NE(it.Record->Value.Text, Find(native, it.Path())->Value.Text) << it.Path();
        EXPECT_EQ(it.Record->Revision, Find(native, it.Path())->Revision) << it.Path();
        EXPECT_TRUE(it.Record->Flags & langres::vfConfirmed) << it.Path();
    }
}

TEST(Pseudo, TextsWithoutLettersStayExactlyAsTheyAre) {
    for (const char16_t* t : {u"1", u"0.00", u"-", u"...", u"12:00", u"$", u"%d", u" 5 ", u"\u20AC", u"*.*|*.*"})
        EXPECT_EQ(catalog::PseudoText(t, 35), t);
    EXPECT_NE(catalog::PseudoText(u"\u0424\u0430\u0439\u043B", 0), u"\u0424\u0430\u0439\u043B");
    // In a list only the items with letters change; a filter keeps a description of symbols.
    TLangFileImage native = Native();
    native.Forms[0].Components[0].Properties.push_back(
        Rec("Items.Strings", 7, u"Auto\r\n1\r\n2.5", 1, 0, langres::vkStringList));
    native.Forms[0].Components[0].Properties.push_back(Rec("Text", 8, u"100", 1));
    TLangFileImage p = catalog::PseudoTranslation(native, catalog::PseudoLangId, 0);
    EXPECT_EQ(Find(p, "MainForm.CloseButton.Items.Strings")->Value.Text,
              catalog::PseudoText(u"Auto", 0) + u"\r\n1\r\n2.5");
    EXPECT_EQ(Find(p, "MainForm.CloseButton.Text")->Value.Text, u"100");
    EXPECT_EQ(catalog::PseudoText(u"Text|*.txt|--|*.*", 0), catalog::PseudoText(u"Text", 0) + u"|*.txt|--|*.*");
}

// A program that shows 8-bit texts shows them in the system's code page: the pseudo text of a
// language uses only look-alikes its code page holds, so nothing turns into "?" there.
TEST(Pseudo, LookAlikesTheLanguagesCodePageHolds) {
    EXPECT_EQ(catalog::PseudoText(u"Save file", 35, 0x0415), u"[Šávé fîĺé····]");              // 1250
    EXPECT_EQ(catalog::PseudoText(u"Save file", 35, 0x0419), u"[Ѕаvё fїlё····]");              // 1251
    EXPECT_EQ(catalog::PseudoText(u"Save file", 35, 0x0408), u"[Sάνέ fίlέ····]");              // 1253
    EXPECT_EQ(catalog::PseudoText(u"Save file", 35, 0x0411), u"[Ｓａｖｅ ｆｉｌｅ・・・・]");  // 932
    // Code page 1252 keeps the look-alikes it always had.
    EXPECT_EQ(catalog::PseudoText(u"Save %s file", 35, 0x0409), catalog::PseudoText(u"Save %s file", 35));
    EXPECT_EQ(catalog::PseudoText(u"Zones", 0, 0x0407), u"[Zöñés]");

    // Every text of a whole dictionary, in the code pages of Central Europe, Cyrillic, Greek,
    // Turkish, Baltic, Vietnamese, Thai, Japanese, Simplified Chinese and Korean: held exactly,
    // and changed in its letters.
    TLangFileImage native = Native();
    native.Forms[0].Components[0].Properties.push_back(Rec(
        "Items.Strings", 7, u"ABCDEFGHIJKLMNOPQRSTUVWXYZ\r\nabcdefghijklmnopqrstuvwxyz", 1, 0, langres::vkStringList));
    for (uint16_t lang :
         {0x0415, 0x0405, 0x0419, 0x0422, 0x0408, 0x041F, 0x0426, 0x042A, 0x041E, 0x0411, 0x0804, 0x0412}) {
        TLangFileImage p = catalog::PseudoTranslation(native, lang, 35);
        EXPECT_EQ(p.Header.LangId, lang);
        for (const auto& it : catalog::Items(p)) {
            const std::u16string& text = it.Record->Value.Text;
            std::string ansi;
            EXPECT_TRUE(langres::LangAnsiHoldsText(text, lang, ansi)) << std::hex << lang << " " << it.Path();
            EXPECT_NE(text, Find(native, it.Path())->Value.Text) << std::hex << lang << " " << it.Path();
        }
        // Most letters become look-alikes where the code page has any.
        const std::u16string& all = Find(p, "MainForm.CloseButton.Items.Strings")->Value.Text;
        int changed = 0;
        for (char16_t c : all) changed += c > 0x7F && c != u'\u00B7' && c != u'\u30FB';
        if (lang != 0x041E) {
            EXPECT_GE(changed, 16) << std::hex << lang << " " << fw::Utf16ToUtf8(all);
        }
    }
}
