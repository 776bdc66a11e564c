// The translators' loop with a CAT tool through the tool: XLIFF export and import, and what bad
// input gives (one line naming the file and line, exit status 1, no output file).
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <vector>

#include "ToolTest.h"
#include "localizer/catalog/tests/CatalogTestUtil.h"
#include "localizer/langres/LangFormat.h"
#include "localizer/langres/LangWriter.h"

namespace {

using tooltest::Q;
using tooltest::Vtploc;

class Xliff : public tooltest::ToolTest {
protected:
    void SetUp() override {
        tooltest::ToolTest::SetUp();
        cattest::Program p;
        p.Strings = {{100, u"Hello %s"}, {101, u"Goodbye"}};
        p.RCData = {{"TMAINFORM", cattest::FormBinary("object MainForm: TMainForm\n  Caption = 'Main window'\n"
                                                      "  object Ok: TButton\n    Caption = '&OK'\n  end\nend\n")}};
        app_ = Path("app.exe");
        tooltest::WriteBytes(app_, p.Module());
        auto r = Vtploc("lng extract --app " + Q(app_) + " -o " + Q(Path("app.ntv.lng")));
        ASSERT_EQ(r.status, 0) << r.err;
    }
    static catalog::TLangFileImage Image(const std::string& file) {
        auto b = tooltest::ReadBytes(file);
        return langres::ParseLangFileImage(b.data(), b.size());
    }
    std::string app_;
};

std::string Replace(std::string s, const std::string& from, const std::string& to) {
    size_t at = s.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos) s.replace(at, from.size(), to);
    return s;
}

}  // namespace

TEST_F(Xliff, TheLoopWithACatTool) {
    // The native dictionary for the CAT tool, with the controls' classes from the program.
    auto r = Vtploc("lng export --xliff " + Q(Path("app.ntv.lng")) + " --app " + Q(app_) + " -o " + Q(Path("app.xlf")));
    ASSERT_EQ(r.status, 0) << r.err;
    std::string x = tooltest::ReadText(Path("app.xlf"));
    EXPECT_NE(x.find("<file original=\"app\" source-language=\"en-US\" datatype=\"winres\""), std::string::npos) << x;
    EXPECT_NE(x.find("resname=\"MainForm.Ok.Caption\" restype=\"button\""), std::string::npos) << x;

    // The translator fills in the targets; one is approved.
    x = Replace(x, "<file original=\"app\" source-language=\"en-US\"",
                "<file original=\"app\" source-language=\"en-US\" target-language=\"de-DE\"");
    x = Replace(x, "<source>Hello %s</source>",
                "<source>Hello %s</source>\n<target state=\"translated\">Hallo %s</target>");
    x = Replace(x, "<source>&amp;OK</source>", "<source>&amp;OK</source><target>&amp;Gut</target>");
    tooltest::WriteText(Path("de.xlf"), x);
    r = Vtploc("lng import --xliff " + Q(Path("de.xlf")) + " --native " + Q(Path("app.ntv.lng")) + " -o " +
               Q(Path("app.de.lng")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "4 units, 2 translated (1 not confirmed), 0 obsolete\n");
    auto de = Image(Path("app.de.lng"));
    EXPECT_EQ(de.Header.LangId, 0x0407);
    EXPECT_EQ(cattest::Find(de, "Strings.S100")->Value.Text, u"Hallo %s");
    EXPECT_TRUE(cattest::Find(de, "Strings.S100")->Flags & 0x0100);
    EXPECT_EQ(cattest::Find(de, "MainForm.Ok.Caption")->Value.Text, u"&Gut");

    // The translation out and in again: the same file.
    r = Vtploc("lng export --xliff " + Q(Path("app.de.lng")) + " --native " + Q(Path("app.ntv.lng")) + " -o " +
               Q(Path("again.xlf")));
    ASSERT_EQ(r.status, 0) << r.err;
    r = Vtploc("lng import --xliff " + Q(Path("again.xlf")) + " --native " + Q(Path("app.ntv.lng")) + " -o " +
               Q(Path("again.lng")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(tooltest::ReadBytes(Path("again.lng")), tooltest::ReadBytes(Path("app.de.lng")));

    // A unit for an item the program no longer has is counted as obsolete, with its line.
    std::string y = tooltest::ReadText(Path("again.xlf"));
    y = Replace(y, "resname=\"Strings.S101\"", "resname=\"Strings.S999\"");
    tooltest::WriteText(Path("old.xlf"), y);
    r = Vtploc("lng import --xliff " + Q(Path("old.xlf")) + " --native " + Q(Path("app.ntv.lng")) + " -o " +
               Q(Path("old.lng")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "4 units, 2 translated (1 not confirmed), 1 obsolete\n");
    EXPECT_NE(r.err.find("old.xlf:"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("\"Strings.S999\": no such item in the native dictionary"), std::string::npos) << r.err;
}

TEST_F(Xliff, BadInputGivesOneLineAndNoOutput) {
    ASSERT_EQ(Vtploc("lng pseudo " + Q(Path("app.ntv.lng")) + " -o " + Q(Path("tr.lng"))).status, 0);
    ASSERT_EQ(Vtploc("lng export --xliff " + Q(Path("tr.lng")) + " --native " + Q(Path("app.ntv.lng")) + " -o " +
                     Q(Path("tr.xlf")))
                  .status,
              0);
    std::string good = tooltest::ReadText(Path("tr.xlf"));
    tooltest::WriteText(Path("bad.xlf"), Replace(good, "</source>", "</sourc>"));
    tooltest::WriteText(Path("nosource.xlf"), Replace(good, "<source>Goodbye</source>", ""));
    struct Case {
        std::string args, names;
    };
    const std::string ntv = " --native " + Q(Path("app.ntv.lng"));
    std::vector<Case> cases = {
        {"lng import --xliff " + Q(Path("bad.xlf")) + ntv, "bad.xlf:"},
        {"lng import --xliff " + Q(Path("nosource.xlf")) + ntv, "has no <source>"},
        {"lng import --xliff " + Q(Path("none.xlf")) + ntv, "none.xlf: no such file"},
        {"lng import --xliff " + Q(Path("tr.xlf")) + " --native " + Q(Path("tr.lng")),
         "tr.lng: not a native dictionary"},
        {"lng import --xliff " + Q(Path("tr.xlf")) + " --po " + Q(Path("tr.xlf")) + ntv, "one of --po and --xliff"},
        {"lng import" + ntv, "one of --po and --xliff"},
        {"lng export --xliff --po " + Q(Path("tr.lng")) + ntv, "one of --po and --xliff"},
        {"lng export --xliff " + Q(Path("tr.lng")), "tr.lng: a translation; name its native dictionary"},
        {"lng export --xliff " + Q(Path("tr.lng")) + " --native " + Q(Path("tr.lng")), "not a native dictionary"},
        {"lng export --xliff " + Q(Path("app.ntv.lng")) + " --app " + Q(Path("missing.exe")), "missing.exe: no such"},
    };
    for (const auto& c : cases) {
        auto r = Vtploc(c.args + " -o " + Q(Path("out")));
        EXPECT_EQ(r.status, 1) << c.args << "\n" << r.err;
        EXPECT_EQ(tooltest::Lines(r.err), 1) << r.err;
        EXPECT_NE(r.err.find(c.names), std::string::npos) << r.err;
        EXPECT_FALSE(tooltest::fs::exists(Path("out"))) << c.args;
    }
    auto r = Vtploc("lng import --xliff " + Q(Path("bad.xlf")) + ntv + " -o " + Q(Path("out")));
    EXPECT_EQ(r.err.rfind("vtploc: " + Path("bad.xlf") + ":", 0), 0u) << r.err;
}

// The size limits --app writes are the rooms lng check measures against: for the sample
// application with every text far too long, each unit's maxwidth is the area_px of the check's
// fit finding for the same item, and the texts the check measures otherwise (a growing label,
// tabs sharing a row, the menu bar) have none.
TEST_F(Xliff, SizeLimitsAreTheRoomsTheCheckMeasures) {
#ifndef VTP_HAVE_FREETYPE
    GTEST_SKIP() << "this build has no font library: texts are not measured";
#endif
    const std::string dir = std::string(VTP_SOURCE_DIR) + "/fixtures/sampleapp/";
    const std::string exe = Path("sampleapp.exe"), ntv = dir + "sampleapp.ntv.lng";
    tooltest::WriteBytes(exe, cattest::SampleProgram().Module());
    catalog::TLangFileImage img = Image(ntv);
    img.Header.IsNative = 0;
    img.Header.LangId = 0x0407;
    for (const auto& it : catalog::Items(img))
        if (it.Record->Kind == langres::vkString && it.Record->Value.Present)
            const_cast<langres::TLFRecord*>(it.Record)->Value.Text = std::u16string(60, u'W');
    tooltest::WriteBytes(Path("long.lng"), langres::WriteLangFile(img, false));

    auto check = Vtploc("lng check --app " + Q(exe) + " --lang " + Q(Path("long.lng")) + " --native " + Q(ntv) +
                        " --json --fail-on never");
    ASSERT_EQ(check.status, 0) << check.err;
    std::map<std::string, int> area;  // fit findings: item -> area_px
    const std::regex finding("\"item\":\"([^\"]*)\",\"check\":\"fit\".*\"area_px\":(-?[0-9]+)");
    for (std::sregex_iterator m(check.out.begin(), check.out.end(), finding), end; m != end; ++m)
        area[(*m)[1]] = std::stoi((*m)[2]);
    auto r = Vtploc("lng export --xliff " + Q(Path("long.lng")) + " --native " + Q(ntv) + " --app " + Q(exe) + " -o " +
                    Q(Path("long.xlf")));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string x = tooltest::ReadText(Path("long.xlf"));
    std::map<std::string, int> maxwidth;
    const std::regex unit("<trans-unit [^>]*resname=\"([^\"]*)\"[^>]* maxwidth=\"([0-9]+)\" size-unit=\"pixel\"");
    for (std::sregex_iterator m(x.begin(), x.end(), unit), end; m != end; ++m) maxwidth[(*m)[1]] = std::stoi((*m)[2]);

    EXPECT_EQ(maxwidth.size(), 10u) << x;  // 3 buttons, 2 radio buttons, a group box, 2 status panels, 2 columns
    for (const auto& [item, px] : maxwidth) {
        auto f = area.find(item);
        ASSERT_NE(f, area.end()) << item << " has no fit finding:\n" << check.out;
        EXPECT_EQ(px, f->second) << item;
    }
    for (const char* item :
         {"MainForm.InfoLabel.Caption", "MainForm.Notebook.TTabPage1.Caption", "MainForm.Edit1.Caption"}) {
        EXPECT_TRUE(area.count(item)) << item << "\n" << check.out;
        EXPECT_FALSE(maxwidth.count(item)) << item;
    }
}
