// The translators' loop through the tool: extract, update, stats, pseudo, PO export and import,
// and what bad input gives (one line, exit status 1, no output file).
#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "ToolTest.h"
#include "localizer/catalog/tests/CatalogTestUtil.h"
#include "localizer/langres/LangFormat.h"

namespace {

using tooltest::Q;
using tooltest::Vtploc;

class Catalog : public tooltest::ToolTest {
protected:
    std::string App(const cattest::Program& p, const char* name = "app.exe") {
        std::string file = Path(name);
        tooltest::WriteBytes(file, p.Module());
        return file;
    }
    static cattest::Program Sample(const char* caption = "Main window") {
        cattest::Program p;
        p.Strings = {{100, u"Hello %s"}, {101, u"Goodbye"}};
        p.RCData = {
            {"TMAINFORM", cattest::FormBinary(std::string("object MainForm: TMainForm\n  Caption = '") + caption +
                                              "'\n  object Ok: TButton\n    Caption = '&OK'\n  end\nend\n")}};
        return p;
    }
    static catalog::TLangFileImage Image(const std::string& file) {
        auto b = tooltest::ReadBytes(file);
        return langres::ParseLangFileImage(b.data(), b.size());
    }
};

}  // namespace

TEST_F(Catalog, TheWholeLoop) {
    std::string app = App(Sample());
    tooltest::WriteText(Path("res.h"), "#define IDS_HELLO 100\n#define IDS_BYE 101\n");
    auto r = Vtploc("lng extract --app " + Q(app) + " --names " + Q(Path("res.h")) + " -o " + Q(Path("v1.ntv.lng")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 forms, 2 properties, 2 constants, revision 1\n");
    auto ntv = Image(Path("v1.ntv.lng"));
    EXPECT_NE(cattest::Find(ntv, "res.IDS_HELLO"), nullptr);
    EXPECT_EQ(ntv.Header.LangId, 0x0409);
    // Same input, same bytes.
    ASSERT_EQ(
        Vtploc("lng extract --app " + Q(app) + " --names " + Q(Path("res.h")) + " -o " + Q(Path("again.lng"))).status,
        0);
    EXPECT_EQ(tooltest::ReadBytes(Path("again.lng")), tooltest::ReadBytes(Path("v1.ntv.lng")));

#ifndef VTP_HAVE_GETTEXTPO
    GTEST_SKIP() << "this build of vtploc has no PO commands (no PO library for its target)";
#endif
    // A translation through PO: the native dictionary as template, translated, imported.
    r = Vtploc("lng export --po " + Q(Path("v1.ntv.lng")) + " -o " + Q(Path("app.pot")));
    ASSERT_EQ(r.status, 0) << r.err;
    std::string pot = tooltest::ReadText(Path("app.pot"));
    for (auto [from, to] : {std::pair<std::string, std::string>{"msgid \"Hello %s\"\nmsgstr \"\"",
                                                                "msgid \"Hello %s\"\nmsgstr \"Hallo %s\""},
                            {"msgid \"Main window\"\nmsgstr \"\"", "msgid \"Main window\"\nmsgstr \"Hauptfenster\""}}) {
        size_t at = pot.find(from);
        ASSERT_NE(at, std::string::npos) << from;
        pot.replace(at, from.size(), to);
    }
    tooltest::WriteText(Path("de.po"), pot);
    r = Vtploc("lng import --po " + Q(Path("de.po")) + " --native " + Q(Path("v1.ntv.lng")) + " --lang 0x0407 -o " +
               Q(Path("v1.de.lng")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "4 entries, 2 translated (0 not confirmed), 0 skipped\n");
    r = Vtploc("lng stats " + Q(Path("v1.de.lng")) + " --native " + Q(Path("v1.ntv.lng")) + " --min 50");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("50.0% translated"), std::string::npos) << r.out;
    r = Vtploc("lng stats " + Q(Path("v1.de.lng")) + " --min 75");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("below the 75"), std::string::npos) << r.err;

    // The next release changes the caption: extract --update, then update the translation.
    std::string app2 = App(Sample("Main view"), "app2.exe");
    r = Vtploc("lng extract --app " + Q(app2) + " --names " + Q(Path("res.h")) + " --update " + Q(Path("v1.ntv.lng")) +
               " -o " + Q(Path("v2.ntv.lng")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("3 unchanged, 0 added, 1 changed, 0 removed"), std::string::npos) << r.out;
    r = Vtploc("lng update --native " + Q(Path("v2.ntv.lng")) + " " + Q(Path("v1.de.lng")) + " -o " +
               Q(Path("v2.de.lng")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "1 translated, 1 unconfirmed, 2 untranslated, 0 obsolete\n");
    auto de2 = Image(Path("v2.de.lng"));
    EXPECT_EQ(cattest::Find(de2, "MainForm.Caption")->Value.Text, u"Hauptfenster");
    EXPECT_EQ(de2.Header.Revision, 2u);

    // Pseudo: a language like any other, through PO and back unchanged.
    r = Vtploc("lng pseudo " + Q(Path("v2.ntv.lng")) + " -o " + Q(Path("qps.lng")));
    ASSERT_EQ(r.status, 0) << r.err;
    auto qps = Image(Path("qps.lng"));
    EXPECT_EQ(qps.Header.LangId, 0x0501);
    EXPECT_EQ(cattest::Find(qps, "res.IDS_HELLO")->Value.Text, u"[Héllö %s\u00B7\u00B7\u00B7]");
    ASSERT_EQ(Vtploc("lng export --po " + Q(Path("qps.lng")) + " --native " + Q(Path("v2.ntv.lng")) + " -o " +
                     Q(Path("qps.po")))
                  .status,
              0);
    ASSERT_EQ(std::system(("msgfmt --check -o /dev/null " + Q(Path("qps.po"))).c_str()), 0);
    ASSERT_EQ(Vtploc("lng import --po " + Q(Path("qps.po")) + " --native " + Q(Path("v2.ntv.lng")) + " -o " +
                     Q(Path("qps2.lng")))
                  .status,
              0);
    EXPECT_EQ(tooltest::ReadBytes(Path("qps2.lng")), tooltest::ReadBytes(Path("qps.lng")));
}

TEST_F(Catalog, BadInputGivesOneLineAndNoOutput) {
    std::string app = App(Sample());
    ASSERT_EQ(Vtploc("lng extract --app " + Q(app) + " -o " + Q(Path("ntv.lng"))).status, 0);
    auto ntv = tooltest::ReadBytes(Path("ntv.lng"));
    auto cut = ntv;
    cut.resize(cut.size() - 7);
    tooltest::WriteBytes(Path("cut.lng"), cut);
    tooltest::WriteText(Path("bad.po"), "msgid \"a\"\nmsgstr \"b\"\nmsgid\n");
    tooltest::WriteText(Path("notpe.exe"), "MZ but nothing else");
    tooltest::WriteText(Path("big.h"), "#define IDS_X 99999\n");
    ASSERT_EQ(Vtploc("lng pseudo " + Q(Path("ntv.lng")) + " -o " + Q(Path("tr.lng"))).status, 0);
    struct Case {
        std::string args, names;
    };
    std::vector<Case> cases = {
        {"lng extract --app " + Q(Path("missing.exe")), "missing.exe: no such file"},
        {"lng extract --app " + Q(Path("notpe.exe")), "notpe.exe: not a readable program"},
        {"lng extract --app " + Q(app) + " --names " + Q(Path("big.h")), "big.h:1: IDS_X = 99999"},
        {"lng extract --app " + Q(app) + " --update " + Q(Path("cut.lng")), "cut.lng: not a valid language file"},
        {"lng update --native " + Q(Path("ntv.lng")) + " " + Q(Path("cut.lng")), "cut.lng: not a valid"},
        {"lng pseudo " + Q(Path("cut.lng")), "cut.lng: not a valid"},
        // --native is a native dictionary in every command.
        {"lng update --native " + Q(Path("tr.lng")) + " " + Q(Path("tr.lng")), "tr.lng: not a native dictionary"},
    };
#ifdef VTP_HAVE_GETTEXTPO
    ASSERT_EQ(
        Vtploc("lng export --po " + Q(Path("tr.lng")) + " --native " + Q(Path("ntv.lng")) + " -o " + Q(Path("tr.po")))
            .status,
        0);
    cases.insert(
        cases.end(),
        {
            {"lng export --po " + Q(Path("cut.lng")), "cut.lng: not a valid"},
            {"lng import --po " + Q(Path("bad.po")) + " --native " + Q(Path("ntv.lng")), "bad.po:4: syntax error"},
            {"lng import --po " + Q(Path("none.po")) + " --native " + Q(Path("ntv.lng")), "none.po: no such file"},
            {"lng export --po " + Q(Path("tr.lng")) + " --native " + Q(Path("tr.lng")),
             "tr.lng: not a native dictionary"},
            {"lng import --po " + Q(Path("tr.po")) + " --native " + Q(Path("tr.lng")),
             "tr.lng: not a native dictionary"},
        });
#endif
    for (const auto& c : cases) {
        auto r = Vtploc(c.args + " -o " + Q(Path("out")));
        EXPECT_EQ(r.status, 1) << c.args << "\n" << r.err;
        EXPECT_EQ(tooltest::Lines(r.err), 1) << r.err;
        EXPECT_NE(r.err.find(c.names), std::string::npos) << r.err;
        EXPECT_FALSE(tooltest::fs::exists(Path("out"))) << c.args;
    }
    auto stats = Vtploc("lng stats " + Q(Path("tr.lng")) + " --native " + Q(Path("tr.lng")));
    EXPECT_EQ(stats.status, 1) << stats.out;
    EXPECT_NE(stats.err.find("tr.lng: not a native dictionary"), std::string::npos) << stats.err;
    // A program with no forms and no strings extracts what it has and says so.
    cattest::Program empty;
    auto r = Vtploc("lng extract --app " + Q(App(empty, "empty.exe")) + " -o " + Q(Path("empty.lng")));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("no string table"), std::string::npos);
    EXPECT_NE(r.err.find("no form resources"), std::string::npos);
    EXPECT_EQ(r.out, "0 forms, 0 properties, 0 constants, revision 1\n");
}

// PO files as translators' tools and other teams send them: a declared charset other than
// UTF-8, an entry made for an older native text (counted as outdated), a non-string value.
TEST_F(Catalog, ImportOfForeignPoFiles) {
#ifndef VTP_HAVE_GETTEXTPO
    GTEST_SKIP() << "this build of vtploc has no PO commands (no PO library for its target)";
#endif
    std::string app = App(Sample());
    ASSERT_EQ(Vtploc("lng extract --app " + Q(app) + " -o " + Q(Path("ntv.lng"))).status, 0);
    std::string head =
        "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n"
        "\"Language: fr\\n\"\n\n";
    tooltest::WriteText(Path("fr.po"), head +
                                           "msgctxt \"Strings.S100\"\nmsgid \"Hello %s\"\nmsgstr \"\xE9t\xE9 %s\"\n\n"
                                           "#. vtploc: revision 1, flags 0x0100, stamp 0000000000000000\n"
                                           "msgctxt \"MainForm.Caption\"\nmsgid \"Main view\"\n"
                                           "msgstr \"Vue principale\"\n");
    auto r =
        Vtploc("lng import --po " + Q(Path("fr.po")) + " --native " + Q(Path("ntv.lng")) + " -o " + Q(Path("fr.lng")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "2 entries, 2 translated (1 not confirmed), 0 skipped\n");
    auto fr = Image(Path("fr.lng"));
    EXPECT_EQ(cattest::Find(fr, "Strings.S100")->Value.Text, u"\u00e9t\u00e9 %s");
    r = Vtploc("lng stats " + Q(Path("fr.lng")) + " --native " + Q(Path("ntv.lng")));
    ASSERT_EQ(r.status, 0) << r.err;
    // The last table line: items, translated, confirmed, outdated.
    size_t all = r.out.rfind("\nall ");
    ASSERT_NE(all, std::string::npos) << r.out;
    std::istringstream line(r.out.substr(all + 5));
    size_t items = 0, translated = 0, confirmed = 0, outdated = 0;
    line >> items >> translated >> confirmed >> outdated;
    EXPECT_EQ(std::vector<size_t>({items, translated, confirmed, outdated}), std::vector<size_t>({4, 2, 1, 1}))
        << r.out;

    // A charset this system cannot convert: refused with its line, nothing written.
    tooltest::WriteText(Path("bad.po"),
                        "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=NO-SUCH\\n\"\n"
                        "\"Language: fr\\n\"\n\nmsgctxt \"Strings.S100\"\nmsgid \"Hello %s\"\n"
                        "msgstr \"Salut %s\"\n");
    r = Vtploc("lng import --po " + Q(Path("bad.po")) + " --native " + Q(Path("ntv.lng")) + " -o " + Q(Path("out")));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("bad.po:3: "), std::string::npos) << r.err;
    EXPECT_FALSE(tooltest::fs::exists(Path("out")));
}
