// PO export and import, with gettext's own tools as the independent reader and editor.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "CatalogTestUtil.h"
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

bool HaveGettextTools() {
    return std::system("msgfmt --version >/dev/null 2>&1") == 0;
}

}  // namespace

// lng -> po -> lng gives the same file for the sample application's translations, and gettext
// reads the PO as valid.
TEST(Po, RoundTripOfTheSampleTranslations) {
    ASSERT_TRUE(HaveGettextTools()) << "gettext's tools (package gettext) are needed";
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
    ASSERT_TRUE(HaveGettextTools());
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
    ASSERT_TRUE(HaveGettextTools());
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
        if (*c.Name) EXPECT_EQ(H.EnglishLangName, c.Name) << c.Language;
        EXPECT_FALSE(H.EnglishLangName.empty()) << c.Language;
        EXPECT_FALSE(H.NativeLangName.empty()) << c.Language;
        ASSERT_EQ(r.Notes.size(), c.Note ? 1u : 0u) << c.Language;
        if (c.Note)
            EXPECT_EQ(r.Notes[0], po + ": \"Language: pt_XX\": no such locale here; taken as Portuguese (Brazil)");
    }
    // Export names the region where the language's primary locale is not meant.
    TLangFileImage pt = native;
    pt.Header.LangId = 0x0816;
    EXPECT_NE(Text(Write("pt.po", catalog::ExportPo(native, &pt, "sampleapp"))).find("\"Language: pt_PT\\n\""),
              std::string::npos);
}
