// PO export and import, with gettext's own tools as the independent reader and editor.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "CatalogTestUtil.h"
#include "ExchangeTestUtil.h"
#include "localizer/catalog/PoCatalog.h"
#include "localizer/langres/LangRes.h"
#include "localizer/langres/LangWriter.h"

using namespace cattest;
using catalog::TLangFileImage;
namespace fs = std::filesystem;

namespace {

const std::string kSample = std::string(VTP_SOURCE_DIR) + "/fixtures/sampleapp/";

fs::path Scratch() {
    static auto dir = [] {
        auto d = fs::temp_directory_path() / ("vtp_catalog_po_" + std::to_string(getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

TLangFileImage Load(const std::string& file) {
    return langres::ReadLangFileImage(file);
}

std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string path = (Scratch() / name).string();
    fw::WriteFileAtomically(path, bytes.data(), bytes.size());
    return path;
}

std::string Text(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

int Shell(const std::string& cmd) {
    return std::system((cmd + " 2>" + (Scratch() / "stderr.txt").string()).c_str());
}

// gettext's command-line tools are Linux programs, which the Windows build's tests cannot start;
// tests/e2e/po_builds_e2e.sh gives vtploc.exe what they make instead.
#ifdef _WIN32
#define NEED_GETTEXT_TOOLS() GTEST_SKIP() << "gettext's tools are Linux programs (see po_builds_e2e)"
#else
bool HaveGettextTools() {
    return std::system("msgfmt --version >/dev/null 2>&1") == 0;
}
#define NEED_GETTEXT_TOOLS() ASSERT_TRUE(HaveGettextTools()) << "gettext's tools (package gettext) are needed"
#endif

}  // namespace

// lng -> po -> lng gives the same file for the sample application's translations, and gettext
// reads the PO as valid.
TEST(Po, RoundTripOfTheSampleTranslations) {
    NEED_GETTEXT_TOOLS();
    TLangFileImage native = Load(kSample + "sampleapp.ntv.lng");
    for (const char* lang : {"de", "fr"}) {
        TLangFileImage tr = Load(kSample + "sampleapp." + lang + ".lng");
        std::string po = Write(std::string(lang) + ".po", catalog::ExportPo(native, &tr, "sampleapp"));
        EXPECT_EQ(Shell("msgfmt --check -o /dev/null '" + po + "'"), 0) << Text((Scratch() / "stderr.txt").string());
        std::string text = Text(po);
        EXPECT_NE(text.find("\"Language: " + std::string(lang) + "\\n\""), std::string::npos);
        EXPECT_NE(text.find("msgctxt \"SampleStrings.SHello\""), std::string::npos);
        EXPECT_NE(text.find("#. kind: string, string-table id 100"), std::string::npos);
        EXPECT_NE(text.find("msgctxt \"MainForm.RecentList.Items.Strings\"\nmsgid \"\"\n\"Recent files\\n\"\n"
                            "\"Open a recent file\""),
                  std::string::npos);
        EXPECT_NE(text.find("#, fuzzy"), std::string::npos);  // the sample's translations are not confirmed

        auto back = catalog::ImportPo(po, native, 0);
        EXPECT_TRUE(back.Skipped.empty());
        EXPECT_EQ(langres::WriteLangFile(back.Image), langres::WriteLangFile(tr)) << lang;
    }
}

// A PO edited by gettext's tools: re-wrapped, reordered, merged, fuzzy marks changed.
TEST(Po, ImportsWhatGettextsToolsWrote) {
    NEED_GETTEXT_TOOLS();
    TLangFileImage native = Load(kSample + "sampleapp.ntv.lng");
    TLangFileImage de = Load(kSample + "sampleapp.de.lng");
    std::string po = Write("de-edit.po", catalog::ExportPo(native, &de, "sampleapp"));
    std::string s = Scratch().string() + "/";

    ASSERT_EQ(Shell("msgcat --sort-output --width=20 -o '" + s + "wrapped.po' '" + po + "'"), 0);
    EXPECT_EQ(langres::WriteLangFile(catalog::ImportPo(s + "wrapped.po", native, 0).Image), langres::WriteLangFile(de));

    // The translator confirms everything: every value is confirmed, nothing else changes.
    ASSERT_EQ(Shell("msgattrib --clear-fuzzy -o '" + s + "confirmed.po' '" + po + "'"), 0);
    auto confirmed = catalog::ImportPo(s + "confirmed.po", native, 0);
    EXPECT_EQ(confirmed.Fuzzy, 0u);
    for (const auto& it : catalog::Items(confirmed.Image)) {
        EXPECT_TRUE(it.Record->Flags & langres::vfConfirmed) << it.Path();
        EXPECT_EQ(it.Record->Value.Text, Find(de, it.Path())->Value.Text) << it.Path();
    }
    // ... and marks them fuzzy again: the original file.
    ASSERT_EQ(Shell("msgattrib --set-fuzzy -o '" + s + "fuzzy.po' '" + s + "confirmed.po'"), 0);
    EXPECT_EQ(langres::WriteLangFile(catalog::ImportPo(s + "fuzzy.po", native, 0).Image), langres::WriteLangFile(de));

    // A changed translation and an entry the dictionary does not have.
    std::string text = Text(s + "confirmed.po");
    size_t at = text.find("msgstr \"Hallo\"");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 14, "msgstr \"Servus\"");
    text += "\nmsgctxt \"MainForm.Gone.Caption\"\nmsgid \"Gone\"\nmsgstr \"Weg\"\n";
    std::ofstream(s + "edited.po", std::ios::binary) << text;
    auto edited = catalog::ImportPo(s + "edited.po", native, 0);
    EXPECT_EQ(Find(edited.Image, "SampleStrings.SHello")->Value.Text, u"Servus");
    ASSERT_EQ(edited.Skipped.size(), 1u);
    EXPECT_NE(edited.Skipped[0].find("MainForm.Gone.Caption"), std::string::npos);
}

TEST(Po, NativeDictionaryAsATemplateAndUntranslatedEntries) {
    NEED_GETTEXT_TOOLS();
    TLangFileImage native = Load(kSample + "sampleapp.ntv.lng");
    std::string pot = Write("ntv.po", catalog::ExportPo(native, nullptr, "sampleapp"));
    EXPECT_EQ(Shell("msgfmt --check -o /dev/null '" + pot + "'"), 0);
    EXPECT_EQ(Text(pot).find("#, fuzzy\nmsgctxt"), std::string::npos);
    auto r = catalog::ImportPo(pot, native, 0x0407);
    EXPECT_EQ(r.Translated, 0u);
    for (const auto& it : catalog::Items(r.Image)) EXPECT_EQ(it.Record->Revision, -1) << it.Path();
    EXPECT_EQ(r.Image.Header.LangId, 0x0407);
    // A template names no language: without one on the command line there is nothing to write.
    EXPECT_NE(Text(pot).find("\"Language: \\n\""), std::string::npos);
    EXPECT_THROW(catalog::ImportPo(pot, native, 0), catalog::ECatalogError);
}

TEST(Po, InvalidPoIsRefusedWithTheLibrarysMessage) {
    std::string bad = (Scratch() / "bad.po").string();
    std::ofstream(bad, std::ios::binary) << "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                                            "msgid \"one\"\nmsgstr \"eins\"\n\nmsgid \"two\nmsgstr \"zwei\"\n";
    TLangFileImage native = Load(kSample + "sampleapp.ntv.lng");
    try {
        catalog::ImportPo(bad, native, 0x0407);
        FAIL() << "no error";
    } catch (const catalog::ECatalogError& e) {
        // What gettext's msgfmt says of this file, too.
        EXPECT_EQ(e.Message(), bad + ":8: end-of-line within string");
    }
    EXPECT_THROW(catalog::ImportPo(bad + ".missing", native, 0x0407), catalog::ECatalogError);
}

// ---- what translators' tools and other teams send

namespace {

std::string RoundTrip(const TLangFileImage& native, const TLangFileImage& tr, const std::string& name) {
    std::string po = Write(name + ".po", catalog::ExportPo(native, &tr, "app"));
    return po;
}

std::vector<uint8_t> Raw(const std::string& text) {
    return {text.begin(), text.end()};
}

std::string PoWith(const std::string& entries, const std::string& charset = "UTF-8") {
    return "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=" + charset +
           "\\n\"\n\"Language: de\\n\"\n\n" + entries;
}

std::string Error(const std::function<void()>& f) {
    try {
        f();
    } catch (const catalog::ECatalogError& e) {
        return e.Message();
    }
    return "(no error)";
}

}  // namespace

// Every value of a translation travels: numbers (a float by its bits), kinds without a stored
// value, translations of empty native texts and to empty texts, stamps of untranslated items,
// line ends where they stood.
TEST(Po, EveryValueOfATranslationComesBack) {
    NEED_GETTEXT_TOOLS();
    TLangFileImage native = KindsNative(), tr = KindsTranslation();
    std::string po = RoundTrip(native, tr, "kinds");
    EXPECT_EQ(Shell("msgfmt --check -o /dev/null '" + po + "'"), 0) << Text((Scratch() / "stderr.txt").string());
    auto back = catalog::ImportPo(po, native, 0);
    EXPECT_TRUE(back.Skipped.empty());
    EXPECT_EQ(Find(back.Image, "MainForm.Ok.Width")->Value.Int, 90);
    EXPECT_EQ(Bits(*Find(back.Image, "MainForm.Ok.Nan")), 0xFFF4000000000123u);
    EXPECT_EQ(Bits(*Find(back.Image, "MainForm.Ok.Zero")), 0x8000000000000000u);
    EXPECT_EQ(Find(back.Image, "Main.SMixed")->Value.Text, u"Zeile1\r\nZeile2\nZeile3");
    EXPECT_EQ(Find(back.Image, "Main.SEmpty")->Value.Text, u"Nicht leer");
    EXPECT_EQ(Diff(back.Image, tr), "");

    // ... also through gettext's own tools, and when the translator changes the numbers.
    std::string s = Scratch().string() + "/";
    ASSERT_EQ(Shell("msgcat --sort-output -o '" + s + "kinds-cat.po' '" + po + "'"), 0);
    EXPECT_EQ(Diff(catalog::ImportPo(s + "kinds-cat.po", native, 0).Image, tr), "");
    std::string text = Text(po);
    for (auto [from, to] : {std::pair<std::string, std::string>{"msgstr \"90\"", "msgstr \"100\""},
                            {"msgstr \"2.5\"", "msgstr \"0.125\""}}) {
        size_t at = text.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        text.replace(at, from.size(), to);
    }
    std::ofstream(s + "kinds-edit.po", std::ios::binary) << text;
    auto edited = catalog::ImportPo(s + "kinds-edit.po", native, 0);
    EXPECT_EQ(Find(edited.Image, "MainForm.Ok.Width")->Value.Int, 100);
    EXPECT_EQ(Bits(*Find(edited.Image, "MainForm.Ok.Ratio")), 0x3FC0000000000000u);  // 0.125
    std::string bad = text;
    size_t w = bad.find("msgstr \"100\"");
    bad.replace(w, 12, "msgstr \"wide\"");
    std::ofstream(s + "kinds-bad.po", std::ios::binary) << bad;
    std::string err = Error([&] { catalog::ImportPo(s + "kinds-bad.po", native, 0); });
    EXPECT_NE(err.find(s + "kinds-bad.po:"), std::string::npos) << err;
    EXPECT_NE(err.find("\"wide\" is not an integer"), std::string::npos) << err;
}

// Every translation among the fixtures and the fuzz seeds comes back byte for byte: against its
// own native dictionary where there is one (the sample's), and against a native dictionary made
// of itself, so that every field it holds is checked.
TEST(Po, EveryValidTranslationOfTheFixturesAndSeedsComesBack) {
    size_t checked = 0;
    for (const auto& c : RoundTripCases(false)) {
        // Laid out as itself, the translation is what it was.
        if (c.Name.find(" against itself") != std::string::npos) {
            EXPECT_EQ(Diff(c.Expected, c.Translation), "") << c.Name;
        }
        std::string po;
        try {
            po = Write("seed.po", catalog::ExportPo(c.Native, &c.Translation, "seed"));
        } catch (const catalog::ECatalogError&) {
            continue;  // two items with one path: no PO file can hold it, and export says so
        }
        auto back = catalog::ImportPo(po, c.Native, 0);
        EXPECT_EQ(Diff(back.Image, c.Expected), "") << c.Name;
        ++checked;
    }
    EXPECT_GE(checked, 8u);
    RecordProperty("round_trips", static_cast<int>(checked));
}

// The PO file's declared charset counts: texts are converted from it; a charset this system
// cannot convert, or bytes that are not text of it, are refused with the line.
TEST(Po, TextsAreConvertedFromTheDeclaredCharset) {
    NEED_GETTEXT_TOOLS();
    TLangFileImage native = Load(kSample + "sampleapp.ntv.lng");
    TLangFileImage de = Load(kSample + "sampleapp.de.lng");
    std::string po = Write("de-utf8.po", catalog::ExportPo(native, &de, "sampleapp"));
    std::string s = Scratch().string() + "/";
    // gettext's own converter writes the same file in Latin-1.
    ASSERT_EQ(Shell("msgconv --to-code=ISO-8859-1 -o '" + s + "de-latin1.po' '" + po + "'"), 0);
    ASSERT_NE(Text(s + "de-latin1.po").find("charset=ISO-8859-1"), std::string::npos);
    EXPECT_EQ(langres::WriteLangFile(catalog::ImportPo(s + "de-latin1.po", native, 0).Image),
              langres::WriteLangFile(de));

    std::ofstream(s + "ete.po", std::ios::binary)
        << PoWith("msgctxt \"SampleStrings.SHello\"\nmsgid \"Hello\"\nmsgstr \"\xE9t\xE9\"\n", "ISO-8859-1");
    auto r = catalog::ImportPo(s + "ete.po", native, 0);
    EXPECT_EQ(Find(r.Image, "SampleStrings.SHello")->Value.Text, u"\u00e9t\u00e9");
    std::ofstream(s + "ete1252.po", std::ios::binary)
        << PoWith("msgctxt \"SampleStrings.SHello\"\nmsgid \"Hello\"\nmsgstr \"\x80 5\"\n", "CP1252");
    auto r1252 = catalog::ImportPo(s + "ete1252.po", native, 0);
    EXPECT_EQ(Find(r1252.Image, "SampleStrings.SHello")->Value.Text, u"\u20ac 5");

    std::ofstream(s + "unknown.po", std::ios::binary)
        << PoWith("msgctxt \"SampleStrings.SHello\"\nmsgid \"Hello\"\nmsgstr \"Hallo\"\n", "X-NO-SUCH-CHARSET");
    std::string err = Error([&] { catalog::ImportPo(s + "unknown.po", native, 0); });
    EXPECT_EQ(err.rfind(s + "unknown.po:3: ", 0), 0u) << err;
    EXPECT_NE(err.find("X-NO-SUCH-CHARSET"), std::string::npos) << err;
    // Bytes that are not UTF-8 in a UTF-8 file: refused, not replaced.
    std::ofstream(s + "notutf8.po", std::ios::binary)
        << PoWith("msgctxt \"SampleStrings.SHello\"\nmsgid \"Hello\"\nmsgstr \"\xE9t\xE9\"\n");
    err = Error([&] { catalog::ImportPo(s + "notutf8.po", native, 0); });
    EXPECT_EQ(err.rfind(s + "notutf8.po:", 0), 0u) << err;  // gettext's own message names its line
}

// Two entries for one item are refused with both lines (unless gettext itself already refuses
// them as one message twice); a plural entry is refused with its line.
TEST(Po, DuplicateAndPluralEntriesAreRefused) {
    TLangFileImage native = Load(kSample + "sampleapp.ntv.lng");
    std::string s = Scratch().string() + "/";
    std::ofstream(s + "dup.po", std::ios::binary) << PoWith(
        "msgctxt \"SampleStrings.SHello\"\nmsgid \"Hello\"\nmsgstr \"Hallo\"\n\n"
        "msgctxt \"SampleStrings.SHello\"\nmsgid \"Hello old\"\nmsgstr \"Hallo alt\"\n");
    std::string err = Error([&] { catalog::ImportPo(s + "dup.po", native, 0); });
    EXPECT_EQ(err.rfind(s + "dup.po:10: ", 0), 0u) << err;
    EXPECT_NE(err.find(s + "dup.po:6"), std::string::npos) << err;
    EXPECT_NE(err.find("SampleStrings.SHello"), std::string::npos) << err;

    std::ofstream(s + "same.po", std::ios::binary) << PoWith(
        "msgctxt \"SampleStrings.SHello\"\nmsgid \"Hello\"\nmsgstr \"Hallo\"\n\n"
        "msgctxt \"SampleStrings.SHello\"\nmsgid \"Hello\"\nmsgstr \"Servus\"\n");
    err = Error([&] { catalog::ImportPo(s + "same.po", native, 0); });
    EXPECT_EQ(err.rfind(s + "same.po:10: ", 0), 0u) << err;
    EXPECT_NE(err.find(s + "same.po:6"), std::string::npos) << err;

    std::ofstream(s + "plural.po", std::ios::binary) << PoWith(
        "msgctxt \"SampleStrings.SHello\"\nmsgid \"Hello\"\nmsgstr \"Hallo\"\n\n"
        "msgctxt \"MainForm.Caption\"\nmsgid \"one file\"\nmsgid_plural \"%d files\"\n"
        "msgstr[0] \"eine Datei\"\nmsgstr[1] \"%d Dateien\"\n");
    err = Error([&] { catalog::ImportPo(s + "plural.po", native, 0); });
    EXPECT_EQ(err.rfind(s + "plural.po:10: ", 0), 0u) << err;
    EXPECT_NE(err.find("plural"), std::string::npos) << err;
}

// A text that mixes CR LF and LF keeps each where it stood; a native text whose mix changed
// since the export counts as changed.
TEST(Po, MixedLineEndsComeBackWhereTheyStood) {
    TLangFileImage native = KindsNative(), tr = KindsTranslation();
    std::string po = Write("eol.po", catalog::ExportPo(native, &tr, "app"));
    auto back = catalog::ImportPo(po, native, 0);
    EXPECT_EQ(Find(back.Image, "Main.SMixed")->Value.Text, u"Zeile1\r\nZeile2\nZeile3");
    EXPECT_EQ(Find(back.Image, "Main.SMixed")->Revision, 2);

    TLangFileImage changed = native;
    auto* n = const_cast<langres::TLFRecord*>(Find(changed, "Main.SMixed"));
    n->Value.Text = u"Line1\r\nLine2\r\nLine3";
    n->Revision = 5;
    changed.Header.Revision = 5;
    auto r = catalog::ImportPo(po, changed, 0);
    const auto* m = Find(r.Image, "Main.SMixed");
    EXPECT_EQ(m->Value.Text, u"Zeile1\r\nZeile2\nZeile3");  // kept ...
    EXPECT_LT(m->Revision, 5);                              // ... but outdated
    EXPECT_FALSE(m->Flags & langres::vfConfirmed);
    auto st = catalog::Statistics(r.Image, &changed);
    EXPECT_EQ(st.All.Outdated, 1u);
}

// An entry whose msgid is no longer the native text is imported as outdated, whatever revision
// its comment gives (the native one, a later one, or none at all in a PO from elsewhere).
TEST(Po, StaleEntriesAreOutdatedWhateverTheirRevisionComment) {
    TLangFileImage native = KindsNative();
    std::string s = Scratch().string() + "/";
    std::ofstream(s + "stale.po", std::ios::binary) << PoWith(
        "#. vtploc: revision 1, flags 0x0100, stamp 0000000000000000\n"
        "msgctxt \"Main.SHello\"\nmsgid \"Hello there\"\nmsgstr \"Hallo da\"\n\n"
        "msgctxt \"MainForm.Caption\"\nmsgid \"Main window\"\nmsgstr \"Hauptfenster\"\n\n"
        "#. vtploc: revision 9, flags 0x0100, stamp 0000000000000000\n"
        "msgctxt \"Messages.Bye\"\nmsgid \"Goodbye\"\nmsgstr \"Auf Wiedersehen\"\n\n"
        "#. vtploc: revision 1, flags 0x0100, stamp 0000000000000000\n"
        "msgctxt \"MainForm.Ok.Caption\"\nmsgid \"OK\"\nmsgstr \"Gut\"\n");
    auto r = catalog::ImportPo(s + "stale.po", native, 0);
    EXPECT_EQ(r.Translated, 4u);
    EXPECT_EQ(r.Fuzzy, 3u);
    for (const char* path : {"Main.SHello", "MainForm.Caption", "Messages.Bye"}) {
        const auto* rec = Find(r.Image, path);
        const auto* nat = Find(native, path);
        EXPECT_GE(rec->Revision, 0) << path;
        EXPECT_LT(rec->Revision, nat->Revision) << path;
        EXPECT_FALSE(rec->Flags & langres::vfConfirmed) << path;
    }
    EXPECT_TRUE(Find(r.Image, "MainForm.Ok.Caption")->Flags & langres::vfConfirmed);
    auto st = catalog::Statistics(r.Image, &native);
    EXPECT_EQ(st.All.Translated, 4u);
    EXPECT_EQ(st.All.Outdated, 3u);
    EXPECT_EQ(st.All.Confirmed, 1u);
}

namespace {

bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Takes the pseudo-translation's "[" and "··]" off every part of a text (lines, and the
// descriptions of a file filter); the number of parts unwrapped.
size_t Unwrap(std::u16string& text) {
    size_t n = 0;
    std::u16string out, part;
    auto flush = [&] {
        size_t a = part.find_first_not_of(u" \t"), b = part.find_last_not_of(u" \t");
        if (a != std::u16string::npos && part[a] == u'[' && part[b] == u']' && b > a) {
            size_t e = b;
            while (e > a + 1 && part[e - 1] == u'\u00B7') --e;
            part = part.substr(0, a) + part.substr(a + 1, e - a - 1) + part.substr(b + 1);
            ++n;
        }
        out += part;
        part.clear();
    };
    for (char16_t c : text) {
        if (c == u'|' || c == u'\r' || c == u'\n') {
            flush();
            out += c;
        } else {
            part += c;
        }
    }
    flush();
    text = out;
    return n;
}

}  // namespace

// Translate Toolkit's checker, with the '&' accelerators of this system's programs, finds no
// accelerator, printf or bracket fault in exported and pseudo-translated PO files.
TEST(Po, TranslateToolkitFindsNoFaultInExportedAndPseudoPo) {
    if (!HaveTool("pofilter")) GTEST_SKIP() << "pofilter (Debian package translate-toolkit) is not installed";
    TLangFileImage native = Load(kSample + "sampleapp.ntv.lng");
    std::vector<std::string> pos;
    for (const char* lang : {"de", "fr"}) {
        TLangFileImage tr = Load(kSample + "sampleapp." + lang + ".lng");
        pos.push_back(Write(std::string("check-") + lang + ".po", catalog::ExportPo(native, &tr, "sampleapp")));
    }
    TLangFileImage kinds = KindsTranslation();
    pos.push_back(Write("check-kinds.po", catalog::ExportPo(KindsNative(), &kinds, "app")));
    // The pseudo-translation's own brackets around each text are what it is for, and a bracket
    // fault to pofilter: its texts are checked for brackets with that pair taken off, and as
    // they are for the rest.
    TLangFileImage qps = catalog::PseudoTranslation(native, catalog::PseudoLangId, 35);
    std::string qpsPo = Write("check-qps.po", catalog::ExportPo(native, &qps, "sampleapp"));
    size_t unwrapped = 0;
    for (auto& it : catalog::Items(qps)) unwrapped += Unwrap(it.Record->Value.Text);
    EXPECT_GT(unwrapped, 10u);
    pos.push_back(Write("check-qps-unwrapped.po", catalog::ExportPo(native, &qps, "sampleapp")));
    for (const auto& po : pos) {
        std::string out = po + ".faults";
        ASSERT_EQ(
            Shell("pofilter --kde -t accelerators -t printf -t brackets --progress=none '" + po + "' '" + out + "'"), 0)
            << Text((Scratch() / "stderr.txt").string());
        // pofilter writes the entries that fail; a clean file gives at most the header.
        std::string faults = Text(out);
        EXPECT_EQ(faults.find("msgctxt"), std::string::npos) << po << ":\n" << faults;
    }
    std::string out = qpsPo + ".faults";
    ASSERT_EQ(Shell("pofilter --kde -t accelerators -t printf --progress=none '" + qpsPo + "' '" + out + "'"), 0);
    EXPECT_EQ(Text(out).find("msgctxt"), std::string::npos) << Text(out);
}

// msgmerge of an exported translation with a newer template, then import: every translation
// that `lng update` keeps is kept.
TEST(Po, MsgmergeWithANewerTemplateKeepsWhatUpdateKeeps) {
    NEED_GETTEXT_TOOLS();
    TLangFileImage v1 = Load(kSample + "sampleapp.ntv.lng");
    TLangFileImage de = Load(kSample + "sampleapp.de.lng");
    // The next release: one text changed, one item gone, one new.
    TLangFileImage v2 = v1;
    v2.Header.Revision += 1;
    auto items = catalog::Items(v2);
    ASSERT_GE(items.size(), 4u);
    size_t changed = 0;
    for (auto& it : items)
        if (it.Record->Kind == langres::vkString && !it.Record->Value.Text.empty()) {
            it.Record->Value.Text += u" now";
            it.Record->Revision = static_cast<int32_t>(v2.Header.Revision);
            if (++changed == 2) break;
        }
    ASSERT_FALSE(v2.Units.empty());
    v2.Units[0].Constants.erase(v2.Units[0].Constants.begin());
    v2.Units[0].Constants.push_back(Rec("SBrandNew", 999, u"Brand new text", static_cast<int32_t>(v2.Header.Revision)));
    std::string old = Write("merge-de.po", catalog::ExportPo(v1, &de, "sampleapp"));
    std::string pot = Write("merge-v2.pot", catalog::ExportPo(v2, nullptr, "sampleapp"));
    std::string merged = (Scratch() / "merge-merged.po").string();
    ASSERT_EQ(Shell("msgmerge --quiet -o '" + merged + "' '" + old + "' '" + pot + "'"), 0)
        << Text((Scratch() / "stderr.txt").string());
    auto r = catalog::ImportPo(merged, v2, 0);
    catalog::TUpdateCounts c;
    TLangFileImage updated = catalog::UpdateTranslation(v2, de, c);
    size_t kept = 0;
    for (const auto& it : catalog::Items(updated)) {
        if (it.Record->Revision < 0) continue;
        const auto* got = Find(r.Image, it.Path());
        ASSERT_NE(got, nullptr) << it.Path();
        EXPECT_GE(got->Revision, 0) << it.Path();
        EXPECT_EQ(got->Value.Text, it.Record->Value.Text) << it.Path();
        if (!(it.Record->Flags & langres::vfConfirmed)) {
            EXPECT_FALSE(got->Flags & langres::vfConfirmed) << it.Path();
        }
        ++kept;
    }
    EXPECT_GT(kept, 0u);
    EXPECT_EQ(kept, c.Translated + c.Unconfirmed);
}

// A translator fills an entry that was untranslated at export ("revision -1" in its comment)
// and leaves it fuzzy for review: the text is a translation, not confirmed, not "untranslated"
// (which would drop it for the native text).
TEST(Po, AFuzzyTranslationOfAnUntranslatedEntryIsKept) {
    TLangFileImage native = KindsNative();
    std::string s = Scratch().string() + "/";
    std::ofstream(s + "filled.po", std::ios::binary) << PoWith(
        "#. vtploc: revision -1, flags 0x0000, stamp 0000000000000000\n#, fuzzy\n"
        "msgctxt \"Main.SHello\"\nmsgid \"Hello\"\nmsgstr \"Hallo\"\n");
    auto r = catalog::ImportPo(s + "filled.po", native, 0);
    const auto* rec = Find(r.Image, "Main.SHello");
    EXPECT_EQ(rec->Value.Text, u"Hallo");
    EXPECT_EQ(rec->Revision, Find(native, "Main.SHello")->Revision);
    EXPECT_FALSE(rec->Flags & langres::vfConfirmed);
    EXPECT_EQ(catalog::Statistics(r.Image, &native).All.Translated, 1u);
}

// A PO from another tool names its language only in "Language": the region picks the locale and
// the locale table names it.
TEST(Po, LanguageHeaderWithARegion) {
    TLangFileImage native = Load(kSample + "sampleapp.ntv.lng");
    std::string pot = Text(Write("region.pot", catalog::ExportPo(native, nullptr, "sampleapp")));
    const std::string empty = "\"Language: \\n\"";
    ASSERT_NE(pot.find(empty), std::string::npos);
    struct {
        const char* Language;
        uint16_t LangId;
        const char* Name;
        bool Note;
    } cases[] = {{"zh_CN", 0x0804, "Chinese (PRC)", false},         {"pt_PT", 0x0816, "Portuguese (Portugal)", false},
                 {"es_MX", 0x080A, "Spanish (Mexico)", false},      {"zh_CN.UTF-8", 0x0804, "Chinese (PRC)", false},
                 {"pt-PT", 0x0816, "Portuguese (Portugal)", false}, {"sr_RS@latin", 0x241A, "", false},
                 {"de", 0x0407, "German (Germany)", false},         {"pt_XX", 0x0416, "Portuguese (Brazil)", true}};
    for (const auto& c : cases) {
        std::string text = pot;
        text.replace(text.find(empty), empty.size(), std::string("\"Language: ") + c.Language + "\\n\"");
        std::string po = (Scratch() / "region.po").string();
        std::ofstream(po, std::ios::binary) << text;
        auto r = catalog::ImportPo(po, native, 0);
        const auto& H = r.Image.Header;
        EXPECT_EQ(H.LangId, c.LangId) << c.Language;
        if (*c.Name) {
            EXPECT_EQ(H.EnglishLangName, c.Name) << c.Language;
        }
        EXPECT_FALSE(H.EnglishLangName.empty()) << c.Language;
        EXPECT_FALSE(H.NativeLangName.empty()) << c.Language;
        ASSERT_EQ(r.Notes.size(), c.Note ? 1u : 0u) << c.Language;
        if (c.Note) {
            EXPECT_EQ(r.Notes[0], po + ": \"Language: pt_XX\": no such locale here; taken as Portuguese (Brazil)");
        }
    }
    // Export names the region where the language's primary locale is not meant.
    TLangFileImage pt = native;
    pt.Header.LangId = 0x0816;
    EXPECT_NE(Text(Write("pt.po", catalog::ExportPo(native, &pt, "sampleapp"))).find("\"Language: pt_PT\\n\""),
              std::string::npos);
}

// msgmerge of a translation's PO with a newer template, then import, keeps every value that
// carrying the translation to the new dictionary keeps, of every kind: translations of empty
// native texts and of kinds without a stored value, a float's bits, a translation to an empty
// text, stamps, flags and revisions, line ends where they stood (a string list's LF too), and
// translations of texts and numbers whose native value changed (outdated, as update has them).
TEST(Po, MsgmergeWithANewerTemplateKeepsEveryKindAsUpdateDoes) {
    NEED_GETTEXT_TOOLS();
    TLangFileImage v1 = KindsNative(), tr = KindsTranslation();
    auto at = [](TLangFileImage& img, const char* path) {
        auto* r = const_cast<langres::TLFRecord*>(Find(img, path));
        EXPECT_NE(r, nullptr) << path;
        return r;
    };
    at(tr, "MainForm.Ok.Items")->Value.Text = u"Eins\nZwei";  // a list whose lines end in LF alone
    // The next release: a text, an integer and a float changed, an item gone, one new.
    TLangFileImage v2 = v1;
    v2.Header.Revision = 5;
    auto* hello = at(v2, "Main.SHello");
    hello->Value.Text = u"Hello there", hello->Revision = 5;
    auto* width = at(v2, "MainForm.Ok.Width");
    width->Value.Int = 80, width->Value.Text = u"80", width->Revision = 5;
    auto* ratio = at(v2, "MainForm.Ok.Ratio");
    uint64_t b = 0x3FFC000000000000;  // 1.75
    std::memcpy(&ratio->Value.Float, &b, 8);
    ratio->Value.Text = u"1.75", ratio->Revision = 5;
    v2.Groups[0].Externals.clear();
    v2.Groups[0].Externals.push_back(Rec("Welcome", 2, u"Welcome", 5));

    std::string s = Scratch().string() + "/";
    std::string old = Write("kinds-merge.po", catalog::ExportPo(v1, &tr, "app"));
    std::string pot = Write("kinds-merge.pot", catalog::ExportPo(v2, nullptr, "app"));
    ASSERT_EQ(Shell("msgmerge --quiet -o '" + s + "kinds-merged.po' '" + old + "' '" + pot + "'"), 0)
        << Text((Scratch() / "stderr.txt").string());
    catalog::TUpdateCounts c;
    TLangFileImage updated = catalog::UpdateTranslation(v2, tr, c);
    EXPECT_EQ(c.Translated + c.Unconfirmed, 11u);
    auto merged = catalog::ImportPo(s + "kinds-merged.po", v2, 0);
    EXPECT_EQ(Diff(merged.Image, updated), "");
    EXPECT_EQ(Find(merged.Image, "MainForm.Ok.Width")->Value.Int, 90);
    EXPECT_EQ(Bits(*Find(merged.Image, "MainForm.Ok.Nan")), 0xFFF4000000000123u);
    EXPECT_EQ(Find(merged.Image, "MainForm.Ok.Items")->Value.Text, u"Eins\nZwei");
    EXPECT_EQ(Find(merged.Image, "Main.SEmpty")->Value.Text, u"Nicht leer");
    // The same with the entries msgmerge could not place dropped (--no-obsolete, or an editor
    // that purges them): what the file still holds comes back unchanged, the rest untranslated.
    ASSERT_EQ(Shell("msgattrib --no-obsolete -o '" + s + "kinds-purged.po' '" + s + "kinds-merged.po'"), 0);
    auto purged = catalog::ImportPo(s + "kinds-purged.po", v2, 0);
    for (const auto& it : catalog::Items(updated)) {
        const auto* got = Find(purged.Image, it.Path());
        ASSERT_NE(got, nullptr);
        if (it.Path() == "MainForm.Ok.Width" || it.Path() == "MainForm.Ok.Ratio") {
            EXPECT_EQ(got->Revision, -1) << it.Path();
            continue;
        }
        EXPECT_EQ(got->Value.Text, it.Record->Value.Text) << it.Path();
        EXPECT_EQ(got->Revision, it.Record->Revision) << it.Path();
        EXPECT_EQ(got->Flags, it.Record->Flags) << it.Path();
    }
}

// An obsolete entry (a merge's leftover) whose number is none is named and not taken: the item
// stays exactly as untranslated, its flags and stamp not those of the entry's facts.
TEST(Po, AnObsoleteEntryWithoutANumberLeavesItsItemAlone) {
    TLangFileImage native = KindsNative();
    const std::string live = "msgctxt \"Main.SHello\"\nmsgid \"Hello\"\nmsgstr \"Hallo\"\n";
    const std::string without = Write("obsolete-none.po", Raw(PoWith(live)));
    const std::string with =
        Write("obsolete-nan.po", Raw(PoWith(live + "\n# vtploc: revision 7, flags 0x0021, stamp 00000000000000ff\n"
                                                   "#~ msgctxt \"MainForm.Ok.Width\"\n#~ msgid \"75\"\n"
                                                   "#~ msgstr \"wide\"\n")));
    auto plain = catalog::ImportPo(without, native, 0);
    auto r = catalog::ImportPo(with, native, 0);
    ASSERT_EQ(r.Skipped.size(), 1u);
    EXPECT_EQ(r.Skipped[0], with + ": obsolete entry \"MainForm.Ok.Width\": \"wide\" is not a number; not taken");
    EXPECT_EQ(Diff(r.Image, plain.Image), "");
    const auto* width = Find(r.Image, "MainForm.Ok.Width");
    ASSERT_NE(width, nullptr);
    EXPECT_EQ(width->Revision, -1);
    EXPECT_NE(width->Stamp, 0xFFu);
}

// A native dictionary at revision 0: a translation made for another native text is kept as a
// translation (not confirmed), not dropped as untranslated.
TEST(Po, AStaleEntryAgainstANativeDictionaryAtRevisionZero) {
    TLangFileImage native = KindsNative();
    native.Header.Revision = 0;
    for (auto& it : catalog::Items(native)) it.Record->Revision = 0;
    std::string s = Scratch().string() + "/";
    std::ofstream(s + "rev0.po", std::ios::binary)
        << PoWith("msgctxt \"Main.SHello\"\nmsgid \"Hello there\"\nmsgstr \"Hallo da\"\n");
    auto r = catalog::ImportPo(s + "rev0.po", native, 0);
    const auto* rec = Find(r.Image, "Main.SHello");
    EXPECT_EQ(rec->Value.Text, u"Hallo da");
    EXPECT_EQ(rec->Revision, 0);
    EXPECT_FALSE(rec->Flags & langres::vfConfirmed);
    EXPECT_EQ(r.Translated, 1u);
    EXPECT_EQ(catalog::Statistics(r.Image, &native).All.Translated, 1u);
}

// A text in an 8-bit charset whose UTF-8 form is longer than the converter's buffer.
TEST(Po, ALongTextInAnEightBitCharset) {
    TLangFileImage native = Load(kSample + "sampleapp.ntv.lng");
    std::string s = Scratch().string() + "/";
    std::string latin1(1500, '\xE9');
    std::ofstream(s + "long.po", std::ios::binary)
        << PoWith("msgctxt \"SampleStrings.SHello\"\nmsgid \"Hello\"\nmsgstr \"" + latin1 + "\"\n", "ISO-8859-1");
    auto r = catalog::ImportPo(s + "long.po", native, 0);
    EXPECT_EQ(Find(r.Image, "SampleStrings.SHello")->Value.Text, std::u16string(1500, u'\u00e9'));
}

// gettext's own tools and the editors write headers of their own: the language's names are the
// locale table's unless X-Language-Names gives them; a team is not a language's name.
TEST(Po, HeadersOfGettextsToolsAndEditors) {
    NEED_GETTEXT_TOOLS();
    TLangFileImage native = Load(kSample + "sampleapp.ntv.lng");
    TLangFileImage de = Load(kSample + "sampleapp.de.lng");
    std::string s = Scratch().string() + "/";
    std::string pot = Write("hdr.pot", catalog::ExportPo(native, nullptr, "sampleapp"));
    ASSERT_EQ(Shell("msginit --no-translator --locale=de_DE.UTF-8 -i '" + pot + "' -o '" + s + "hdr-init.po'"), 0)
        << Text((Scratch() / "stderr.txt").string());
    ASSERT_NE(Text(s + "hdr-init.po").find("Language-Team:"), std::string::npos);
    // An editor's header: a real team line.
    std::string poedit = Text(s + "hdr-init.po");
    size_t team = poedit.find("\"Language-Team:");
    ASSERT_NE(team, std::string::npos);
    poedit.replace(team, poedit.find('\n', team) - team,
                   "\"Language-Team: German <translators@example.org>\\n\"\n\"X-Generator: Poedit 3.4\\n\"");
    std::ofstream(s + "hdr-poedit.po", std::ios::binary) << poedit;
    // Translations exported and then catenated and merged by gettext: their own names stay.
    std::string exported = Write("hdr-de.po", catalog::ExportPo(native, &de, "sampleapp"));
    ASSERT_EQ(Shell("msgcat -o '" + s + "hdr-cat.po' '" + exported + "'"), 0);
    ASSERT_EQ(Shell("msgmerge --quiet -o '" + s + "hdr-merged.po' '" + exported + "' '" + pot + "'"), 0);
    struct {
        std::string File;
        std::string English;
        std::u16string Native;
    } cases[] = {
        {s + "hdr-init.po", "German (Germany)", u"German (Germany)"},
        {s + "hdr-poedit.po", "German (Germany)", u"German (Germany)"},
        {s + "hdr-cat.po", de.Header.EnglishLangName, de.Header.NativeLangName},
        {s + "hdr-merged.po", de.Header.EnglishLangName, de.Header.NativeLangName},
    };
    for (const auto& c : cases) {
        auto r = catalog::ImportPo(c.File, native, 0);
        EXPECT_EQ(r.Image.Header.LangId, 0x0407) << c.File;
        EXPECT_EQ(r.Image.Header.EnglishLangName, c.English) << c.File;
        EXPECT_EQ(r.Image.Header.NativeLangName, c.Native) << c.File;
        EXPECT_TRUE(r.Notes.empty()) << c.File;
    }
}

// Entries of more than one domain are refused with the line that starts the second; a file
// whose entries are all of one domain, whatever its name and wherever its header, is read whole.
TEST(Po, DomainLines) {
    TLangFileImage native = Load(kSample + "sampleapp.ntv.lng");
    std::string s = Scratch().string() + "/";
    const std::string entries =
        "msgctxt \"SampleStrings.SHello\"\nmsgid \"Hello\"\nmsgstr \"Hallo\"\n\n"
        "msgctxt \"MainForm.Caption\"\nmsgid \"Sample application\"\nmsgstr \"Beispiel\"\n";
    std::ofstream(s + "domain-top.po", std::ios::binary) << "domain \"other\"\n\n" + PoWith(entries);
    auto r = catalog::ImportPo(s + "domain-top.po", native, 0);
    EXPECT_EQ(r.Entries, 2u);
    EXPECT_EQ(Find(r.Image, "SampleStrings.SHello")->Value.Text, u"Hallo");
    EXPECT_EQ(r.Image.Header.LangId, 0x0407);

    // The header before the line, every entry after it.
    std::ofstream(s + "domain-after.po", std::ios::binary) << PoWith("domain \"other\"\n\n" + entries);
    r = catalog::ImportPo(s + "domain-after.po", native, 0);
    EXPECT_EQ(r.Entries, 2u);
    EXPECT_EQ(Find(r.Image, "MainForm.Caption")->Value.Text, u"Beispiel");
    EXPECT_EQ(r.Image.Header.LangId, 0x0407);
    std::ofstream(s + "domain-two.po", std::ios::binary) << PoWith(
        "msgctxt \"MainForm.Caption\"\nmsgid \"Sample application\"\nmsgstr \"Beispiel\"\n\n"
        "domain \"other\"\nmsgctxt \"SampleStrings.SHello\"\nmsgid \"Hello\"\nmsgstr \"Hallo\"\n");
    std::string err = Error([&] { catalog::ImportPo(s + "domain-two.po", native, 0); });
    EXPECT_EQ(err.rfind(s + "domain-two.po:10: domain \"other\"", 0), 0u) << err;
    // Naming the default domain changes nothing.
    std::ofstream(s + "domain-default.po", std::ios::binary) << PoWith("domain \"messages\"\n" + entries);
    EXPECT_EQ(catalog::ImportPo(s + "domain-default.po", native, 0).Entries, 2u);
}

// The header's language and the reader's note agree with what is taken: a language given on
// the command line is not "taken as" anything; a charset nobody declared is named as assumed;
// an X-Language-Id that is no locale is refused with its line, unless the file names the
// language too.
TEST(Po, HeaderLanguageChecks) {
    TLangFileImage native = Load(kSample + "sampleapp.ntv.lng");
    std::string s = Scratch().string() + "/";
    const std::string entry = "msgctxt \"SampleStrings.SHello\"\nmsgid \"Hello\"\nmsgstr \"Hallo\"\n";
    std::ofstream(s + "en150.po", std::ios::binary)
        << "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n\"Language: en_150\\n\"\n\n" +
               entry;
    auto asGerman = catalog::ImportPo(s + "en150.po", native, 0x0407);
    EXPECT_EQ(asGerman.Image.Header.LangId, 0x0407);
    EXPECT_TRUE(asGerman.Notes.empty()) << asGerman.Notes[0];
    EXPECT_EQ(asGerman.Image.Header.EnglishLangName, "German (Germany)");
    auto asHeader = catalog::ImportPo(s + "en150.po", native, 0);
    EXPECT_EQ(asHeader.Image.Header.LangId, 0x0409);
    ASSERT_EQ(asHeader.Notes.size(), 1u);
    EXPECT_NE(asHeader.Notes[0].find("taken as English (United States)"), std::string::npos);

    std::ofstream(s + "nocs.po", std::ios::binary)
        << "msgid \"\"\nmsgstr \"\"\n\"Language: de\\n\"\n\n"
           "msgctxt \"SampleStrings.SHello\"\nmsgid \"Hello\"\nmsgstr \"\xE9t\xE9\"\n";
    EXPECT_EQ(Error([&] { catalog::ImportPo(s + "nocs.po", native, 0); }),
              s + "nocs.po:5: the entry is not valid UTF-8 text (the header declares no charset)");

    for (const char* id : {"0x9999", "-1", "0x10407", "German", "0x", ""}) {
        std::ofstream(s + "id.po", std::ios::binary)
            << PoWith("msgctxt \"SampleStrings.SHello\"\nmsgid \"Hello\"\nmsgstr \"Hallo\"\n")
                   .replace(std::strlen("msgid \"\"\nmsgstr \"\"\n"), 0,
                            std::string("\"Project-Id-Version: app\\n\"\n\"X-Language-Id: ") + id + "\\n\"\n");
        if (!*id) {
            EXPECT_EQ(catalog::ImportPo(s + "id.po", native, 0).Image.Header.LangId, 0x0407);  // from Language
            continue;
        }
        EXPECT_EQ(Error([&] { catalog::ImportPo(s + "id.po", native, 0); }),
                  s + "id.po:4: X-Language-Id \"" + id + "\" is not a locale this system knows");
    }
    // A language the table lacks, with its names (as export writes them for such a file): taken.
    std::ofstream(s + "id.po", std::ios::binary)
        << PoWith(entry).replace(std::strlen("msgid \"\"\nmsgstr \"\"\n"), 0,
                                 "\"X-Language-Id: 0x9999\\n\"\n\"X-Language-Names: Odd / Odd\\n\"\n");
    auto odd = catalog::ImportPo(s + "id.po", native, 0);
    EXPECT_EQ(odd.Image.Header.LangId, 0x9999);
    EXPECT_EQ(odd.Image.Header.EnglishLangName, "Odd");
    for (auto [id, lcid] : {std::pair<const char*, uint16_t>{"0x0816", 0x0816}, {"1031", 0x0407}, {"0x0501", 0x0501}}) {
        std::ofstream(s + "id.po", std::ios::binary) << PoWith(entry).replace(
            std::strlen("msgid \"\"\nmsgstr \"\"\n"), 0, std::string("\"X-Language-Id: ") + id + "\\n\"\n");
        EXPECT_EQ(catalog::ImportPo(s + "id.po", native, 0).Image.Header.LangId, lcid) << id;
    }
}

// The Language header names a locale that reads back as the same one, as other tools read it.
TEST(Po, LanguageHeaderOfEveryRegionReadsBack) {
    TLangFileImage native = Load(kSample + "sampleapp.ntv.lng");
    for (auto [lcid, name] : {std::pair<uint16_t, const char*>{0x0404, "zh_TW"},
                              {0x0804, "zh_CN"},
                              {0x1C1A, "sr_BA@cyrillic"},
                              {0x241A, "sr_RS@latin"},
                              {0x082C, "az_AZ@cyrillic"},
                              {0x0407, "de"}}) {
        TLangFileImage t = native;
        t.Header.LangId = lcid;
        t.Header.IsNative = 0;
        std::string po = Write("lang.po", catalog::ExportPo(native, &t, "sampleapp"));
        EXPECT_NE(Text(po).find(std::string("\"Language: ") + name + "\\n\""), std::string::npos) << name;
        // Without the file's own id, the Language header alone gives the locale back.
        std::string text = Text(po);
        size_t x = text.find("\"X-Language-Id:");
        ASSERT_NE(x, std::string::npos);
        text.erase(x, text.find('\n', x) + 1 - x);
        std::ofstream(po, std::ios::binary) << text;
        auto r = catalog::ImportPo(po, native, 0);
        EXPECT_EQ(r.Image.Header.LangId, lcid) << name;
        EXPECT_TRUE(r.Notes.empty()) << name;
    }
}
